// Captures through a real sound server. Runs only inside tests/platform/sound/pulse_music_player_test.sh,
// which starts a server of its own with a null sink "music", a 440 Hz source "mic" and the test tracks.

#include "platform/sound/capture/pulse_multi_room_capture.h"

#include <cstdlib>
#include <mutex>
#include <optional>
#include <vector>

#include <QElapsedTimer>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/runtime/qt_scheduler.h"
#include "support/sound_recording.h"

namespace kovali {
namespace {

/// What a capture hands on, kept as mono at the recording rate.
struct Collected {
  void add(const SharedPCMBuffer& buffer) {
    std::lock_guard lock(mutex);
    const auto channels = static_cast<std::size_t>(buffer->format.channels);
    for (std::size_t i = 0; i + channels <= buffer->samples.size(); i += channels) {
      float sum = 0;
      for (std::size_t c = 0; c < channels; ++c) sum += buffer->samples[i + c];
      mono.push_back(sum / static_cast<float>(channels));
    }
  }
  std::vector<float> sound() {
    std::lock_guard lock(mutex);
    return mono;
  }

  std::mutex mutex;
  std::vector<float> mono;
};

/// Runs pactl with `arguments`; its output, or none when it failed.
std::optional<QString> pactl(const QStringList& arguments) {
  QProcess process;
  process.start(QStringLiteral("pactl"), arguments);
  if (!process.waitForFinished(5000) || process.exitCode() != 0) return std::nullopt;
  return QString::fromUtf8(process.readAllStandardOutput()).trimmed();
}

TEST(PulseServerMultiRoomCapture, TapsTheMusicAsItIsMadeWhileThePlayerIsSilentAndFillsPausesWithSilence) {
  if (!std::getenv("KOVALI_PULSE_TRACKS")) GTEST_SKIP() << "needs the sound server of pulse_music_player_test.sh";
  QtScheduler scheduler;
  PulseMusicPlayer player;
  PulseMultiRoomCapture capture(player, scheduler);
  EXPECT_TRUE(capture.musicStreams().empty()) << "a stopped player makes no music";
  EXPECT_EQ(capture.musicFormat(), (AudioFormat{48000, 2}));

  // Tapped before the player writes its first sound, so the whole song goes to the tap.
  Collected collected;
  auto tap = capture.tapMusic([&](SharedPCMBuffer buffer) { collected.add(buffer); });
  ASSERT_TRUE(tap.hasValue());
  player.setQueue({pulseTestTrack("a.flac", "a")});
  ASSERT_EQ(QCoro::waitFor(player.prepareToPlay()), std::nullopt);
  EXPECT_EQ(capture.musicStreams(), std::set<std::string>{"Kovali music"});
  MonitorRecorder recorder("music.monitor");
  ASSERT_EQ(recorder.error(), "");

  ASSERT_EQ(QCoro::waitFor(player.play()), std::nullopt);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 6000 && player.playbackStatus() == MusicPlayerStatus::playing) QTest::qWait(100);
  EXPECT_EQ(player.playbackStatus(), MusicPlayerStatus::paused) << "the player kept its timing to the end";
  const auto heard = recorder.stop();
  const auto atEnd = collected.sound().size();
  QTest::qWait(1500);
  const auto tapped = collected.sound();

  EXPECT_NEAR(secondsOfTone(tapped, 440), 2.0, 0.15) << "the whole song reached the tap";
  EXPECT_LT(secondsOfTone(heard, 440), 0.1) << "the player's own output stayed silent";
  EXPECT_GE(tapped.size() - atEnd, static_cast<std::size_t>(0.9 * recordingRate)) << "silence fills the pause";

  tap.value().reset();
  MonitorRecorder afterwards("music.monitor");
  player.setQueue({pulseTestTrack("a.flac", "a")});
  ASSERT_EQ(QCoro::waitFor(player.play()), std::nullopt);
  QTest::qWait(1500);
  player.stop();
  EXPECT_GT(secondsOfTone(afterwards.stop(), 440), 0.5) << "without the tap the player is heard again";
}

TEST(PulseServerMultiRoomCapture, RecordsACaptureInputInTheFormatAskedFor) {
  if (!std::getenv("KOVALI_PULSE_TRACKS")) GTEST_SKIP() << "needs the sound server of pulse_music_player_test.sh";
  QtScheduler scheduler;
  PulseMusicPlayer player;
  PulseMultiRoomCapture capture(player, scheduler);
  ASSERT_TRUE(QTest::qWaitFor([&] { return capture.inputName("mic").has_value(); }, 5000));
  EXPECT_EQ(capture.inputName("music.monitor"), std::nullopt) << "monitors are not inputs";
  EXPECT_EQ(capture.inputName("gone"), std::nullopt);

  Collected collected;
  std::mutex formats;
  std::set<double> rates;
  auto recording = capture.recordInput("mic", AudioFormat{44100, 2}, [&](SharedPCMBuffer buffer) {
    {
      std::lock_guard lock(formats);
      rates.insert(buffer->format.sampleRate);
    }
    collected.add(buffer);
  });
  ASSERT_TRUE(recording.hasValue()) << recording.error();
  ASSERT_TRUE(QTest::qWaitFor([&] { return collected.sound().size() > 44100; }, 5000));
  recording.value().reset();

  EXPECT_EQ(rates, std::set<double>{44100});
  const auto sound = collected.sound();
  EXPECT_NEAR(toneOf(sound.data(), sound.size(), 44100), 440.0, 15);
}

TEST(PulseServerMultiRoomCapture, RecordingASourceTheServerDoesNotHaveFailsWithItsReason) {
  if (!std::getenv("KOVALI_PULSE_TRACKS")) GTEST_SKIP() << "needs the sound server of pulse_music_player_test.sh";
  QtScheduler scheduler;
  PulseMusicPlayer player;
  PulseMultiRoomCapture capture(player, scheduler);
  ASSERT_TRUE(QTest::qWaitFor([&] { return capture.inputName("mic").has_value(); }, 5000));

  const auto recording = capture.recordInput("gone", AudioFormat{48000, 2}, [](SharedPCMBuffer) {});
  ASSERT_FALSE(recording.hasValue());
  EXPECT_EQ(recording.error(), "No such entity");
}

TEST(PulseServerMultiRoomCapture, ARecordingWhoseSourceWentNoLongerRuns) {
  if (!std::getenv("KOVALI_PULSE_TRACKS")) GTEST_SKIP() << "needs the sound server of pulse_music_player_test.sh";
  const auto module = pactl({QStringLiteral("load-module"), QStringLiteral("module-sine-source"),
                             QStringLiteral("source_name=usb-mic"), QStringLiteral("frequency=660")});
  ASSERT_TRUE(module);
  QtScheduler scheduler;
  PulseMusicPlayer player;
  PulseMultiRoomCapture capture(player, scheduler);
  ASSERT_TRUE(QTest::qWaitFor([&] { return capture.inputName("usb-mic").has_value(); }, 5000));
  Collected collected;
  auto recording =
      capture.recordInput("usb-mic", AudioFormat{48000, 2}, [&](SharedPCMBuffer buffer) { collected.add(buffer); });
  ASSERT_TRUE(recording.hasValue()) << recording.error();
  ASSERT_TRUE(QTest::qWaitFor([&] { return collected.sound().size() > 4800; }, 5000));
  EXPECT_TRUE(recording.value()->isRunning());

  ASSERT_TRUE(pactl({QStringLiteral("unload-module"), *module}));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !recording.value()->isRunning(); }, 5000));
}

}  // namespace
}  // namespace kovali
