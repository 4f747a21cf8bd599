// The device layer and libpulse against real AirPlay speakers. Runs only inside
// tests/platform/sound/airplay_rig_test.sh, which starts two receivers and a sound server that
// finds them, PulseAudio or PipeWire's pulse server.

#include <QTest>
#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <optional>

#include "platform/sound/devices/pulse_audio_system.h"
#include "support/airplay_rig_fixture.h"
#include "support/sound_recording.h"
#include "support/speaker_capture.h"
#include "support/tone_player.h"

namespace kovali {
namespace {

constexpr int waitMs = 30000;

std::optional<AudioSystem::Output> outputNamed(const AudioSystem& system, const std::string& name) {
  for (const auto& output : system.outputs()) {
    if (output.name == name) return output;
  }
  return std::nullopt;
}

class AirPlayRigDevices : public AirPlayRigTest {
 protected:
  /// The output of each rig speaker, once the sound server lists them all.
  std::vector<AudioSystem::Output> speakerOutputs() {
    const auto speakers = rigSpeakers();
    const auto listed = [&] {
      for (const auto& speaker : speakers) {
        if (!outputNamed(system_, speaker.name)) return false;
      }
      return true;
    };
    if (!QTest::qWaitFor(listed, waitMs)) return {};
    std::vector<AudioSystem::Output> outputs;
    for (const auto& speaker : speakers) outputs.push_back(*outputNamed(system_, speaker.name));
    return outputs;
  }

  PulseAudioSystem system_;
};

TEST_F(AirPlayRigDevices, ListsEachSpeakerAsAnAirPlayOutputByItsName) {
  const auto outputs = speakerOutputs();
  ASSERT_EQ(outputs.size(), rigSpeakers().size()) << "the speakers never appeared on " << rigServer();
  for (const auto& output : outputs) {
    EXPECT_EQ(output.transport, SoundTransport::airPlay) << output.name << " (" << output.uid << ")";
    EXPECT_EQ(output.channels, 2) << output.name;
  }
  EXPECT_NE(outputs[0].uid, outputs[1].uid);
  const auto music = outputNamed(system_, "music");
  ASSERT_TRUE(music.has_value());
  EXPECT_EQ(music->transport, SoundTransport::other) << "a null sink is no AirPlay speaker";
}

TEST_F(AirPlayRigDevices, ATonePlayedToEachSpeakersSinkArrivesAtThatSpeakerAlone) {
  const auto speakers = rigSpeakers();
  const auto outputs = speakerOutputs();
  ASSERT_EQ(outputs.size(), speakers.size());
  const double tones[] = {440, 660};

  std::vector<std::unique_ptr<SpeakerCapture>> captures;
  std::vector<std::unique_ptr<TonePlayer>> players;
  const auto started = SpeakerCapture::Clock::now();
  for (std::size_t i = 0; i < 2; ++i) {
    captures.push_back(std::make_unique<SpeakerCapture>(speakers[i].capture));
    players.push_back(std::make_unique<TonePlayer>(outputs[i].uid, tones[i], 3.0));
  }
  for (auto& player : players) EXPECT_EQ(player->wait(), "");

  // PipeWire's AirPlay sink now and then starts a stream up to a second late and drops what it
  // missed, so most of the tone is enough; the other tone at most grazes a window where a tone
  // begins or ends.
  for (std::size_t i = 0; i < 2; ++i) {
    auto& capture = *captures[i];
    const auto heard = [&] { return capture.read() && secondsOfTone(capture.sound(), tones[i], capture.rate) > 1.5; };
    EXPECT_TRUE(QTest::qWaitFor(heard, 10000)) << speakers[i].name << " played "
                                               << secondsOfTone(capture.sound(), tones[i], capture.rate) << " s";
    EXPECT_NEAR(capture.mainTone(), tones[i], tones[i] * 0.03) << speakers[i].name;
    EXPECT_LT(secondsOfTone(capture.sound(), tones[1 - i], capture.rate), 0.2) << speakers[i].name << " got the other tone";
    EXPECT_GT(capture.level(tones[i]), 0.05) << speakers[i].name;
    if (const auto onset = capture.onset(tones[i])) {
      std::printf("%s on %s: the tone began %.3f s after it was played, level %.3f\n", speakers[i].name.c_str(),
                  rigServer().c_str(), std::chrono::duration<double>(*onset - started).count(),
                  capture.level(tones[i]));
    }
  }
}

}  // namespace
}  // namespace kovali
