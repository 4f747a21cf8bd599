// The stream player while one of two real AirPlay receivers is stopped and started again. Runs
// only inside tests/platform/sound/airplay_rig_test.sh.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <chrono>
#include <cstdio>
#include <future>
#include <initializer_list>

#include "platform/sound/airplay/pulse_stream_player.h"
#include "support/airplay_rig_fixture.h"
#include "support/live_tone_stream.h"
#include "support/sound_recording.h"
#include "support/speaker_capture.h"

namespace kovali {
namespace {

using namespace std::chrono_literals;

std::optional<std::string> choiceId(const StreamPlayer& player, const std::string& name) {
  for (const auto& choice : player.speakerChoices()) {
    if (choice.name == name) return choice.id;
  }
  return std::nullopt;
}

bool playsOn(const StreamPlayer& player, const std::string& name) {
  const auto devices = player.outputDevices();
  return std::any_of(devices.begin(), devices.end(), [&](const auto& device) { return device.name == name; });
}

/// Stops or starts a receiver on another thread, so the stream and the player go on meanwhile.
std::optional<std::string> setRunning(const RigSpeaker& speaker, bool running) {
  auto done = std::async(std::launch::async, setRigSpeakerRunning, speaker.number, running);
  if (!QTest::qWaitFor([&] { return done.wait_for(0s) == std::future_status::ready; }, 20000)) {
    return "The rig did not answer.";
  }
  return done.get();
}

/// The longest time between two 50 ms windows of a capture that carry one of the tones, of those
/// that end after `since`: silence and time in which the receiver played nothing both count.
struct Gap {
  double seconds = 0;
  SpeakerCapture::Clock::time_point from;  // the end of the last window before it
};

Gap longestGapSince(const SpeakerCapture& capture, std::initializer_list<double> tones,
                    SpeakerCapture::Clock::time_point since) {
  constexpr std::size_t window = SpeakerCapture::rate / 20;
  const auto& sound = capture.sound();
  std::optional<SpeakerCapture::Clock::time_point> lastEnd;
  Gap longest{0, since};
  for (std::size_t start = 0; start + window <= sound.size(); start += window) {
    const double tone = toneOf(sound.data() + start, window, SpeakerCapture::rate);
    if (std::none_of(tones.begin(), tones.end(), [&](double hertz) { return std::abs(tone - hertz) < 30; })) continue;
    const auto begins = capture.timeOf(start);
    if (lastEnd && begins > since) {
      const double seconds = std::chrono::duration<double>(begins - *lastEnd).count();
      if (seconds > longest.seconds) longest = {seconds, *lastEnd};
    }
    lastEnd = capture.timeOf(start + window);
  }
  return longest;
}

bool carries(SpeakerCapture& capture, double hertz, double seconds) {
  return capture.read() && secondsOfTone(capture.sound(), hertz, capture.rate) >= seconds;
}

class AirPlayRigSpeakerRestart : public AirPlayRigTest {};

TEST_F(AirPlayRigSpeakerRestart, TheOtherSpeakerPlaysOnAndTheRestartedOneJoinsAgainInStep) {
  const auto speakers = rigSpeakers();
  const auto& staying = speakers[0];
  const auto& restarted = speakers[1];
  PulseStreamPlayer player;
  ASSERT_TRUE(
      QTest::qWaitFor([&] { return choiceId(player, staying.name) && choiceId(player, restarted.name); }, 30000))
      << "the picker never listed both speakers on " << rigServer() << rigDaemons();
  for (const auto& speaker : speakers) player.setSpeakerChosen(*choiceId(player, speaker.name), true);

  test::LiveToneStream live(440);
  ASSERT_NE(live.port(), 0);
  SpeakerCapture stayingCapture(staying.capture);
  {
    SpeakerCapture before(restarted.capture);
    QSignalSpy status(&player, &StreamPlayer::itemStatusChanged);
    player.load(live.url());
    ASSERT_TRUE(status.wait(8000));
    ASSERT_EQ(status.front()[0].value<StreamPlayer::ItemStatus>(), StreamPlayer::ItemStatus::readyToPlay);
    ASSERT_TRUE(QTest::qWaitFor([&] { return carries(stayingCapture, 440, 1.5) && carries(before, 440, 1.5); }, 20000))
        << "the tone did not reach both speakers on " << rigServer() << ": "
        << secondsOfTone(stayingCapture.sound(), 440, stayingCapture.rate) << " s and "
        << secondsOfTone(before.sound(), 440, before.rate) << " s" << rigDaemons();
  }

  const auto stopped = SpeakerCapture::Clock::now();
  ASSERT_EQ(setRunning(restarted, false), std::nullopt);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !playsOn(player, restarted.name); }, 15000))
      << restarted.name << " stayed in the player's speakers on " << rigServer() << rigDaemons();
  EXPECT_TRUE(playsOn(player, staying.name));
  EXPECT_EQ(player.route(), StreamPlayer::Route::speakers);

  ASSERT_EQ(setRunning(restarted, true), std::nullopt);
  ASSERT_TRUE(QTest::qWaitFor([&] { return playsOn(player, restarted.name); }, 30000))
      << restarted.name << " never came back to the player's speakers on " << rigServer() << rigDaemons();
  SpeakerCapture back(restarted.capture);
  ASSERT_TRUE(QTest::qWaitFor([&] { return carries(back, 440, 1.0); }, 15000))
      << restarted.name << " did not play again on " << rigServer() << ": "
      << secondsOfTone(back.sound(), 440, back.rate) << " s of the tone" << rigDaemons();

  // Both speakers change tone at the same moment.
  live.setTone(660);
  ASSERT_TRUE(QTest::qWaitFor([&] { return carries(stayingCapture, 660, 1.0) && carries(back, 660, 1.0); }, 15000))
      << "the new tone did not reach both speakers on " << rigServer() << rigDaemons();
  const auto first = stayingCapture.onset(660);
  const auto second = back.onset(660);
  ASSERT_TRUE(first && second);
  const double apart = std::chrono::duration<double>(*second - *first).count();
  const Gap gap = longestGapSince(stayingCapture, {440, 660}, stopped);
  std::printf("on %s: tone changes %.3f s apart, longest gap at %s %.3f s, %.3f s after the other stopped\n",
              rigServer().c_str(), apart, staying.name.c_str(), gap.seconds,
              std::chrono::duration<double>(gap.from - stopped).count());
  // Each stream is corrected once it is 20 ms off the clock, and an onset is found to about a
  // millisecond; the receivers add what they cannot keep.
  EXPECT_LT(std::abs(apart), 0.025 + rigTimekeeping().apart) << "the tone changed " << apart << " s apart on " << rigServer();
  EXPECT_LT(gap.seconds, rigTimekeeping().dropout) << staying.name << " stopped for " << gap.seconds << " s on " << rigServer();
}

}  // namespace
}  // namespace kovali
