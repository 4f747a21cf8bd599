// Plays timed sound through a real sound server. Runs only inside
// tests/platform/sound/pulse_music_player_test.sh, which starts a server with a null sink "music".

#include "platform/sound/rendering/pulse_audio_renderer.h"

#include <gtest/gtest.h>

#include <QTest>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <vector>

#include "audio/local_mirror.h"
#include "platform/runtime/queue_timer.h"
#include "support/sound_recording.h"

namespace kovali {
namespace {

TEST(PulseServerAudioRenderer, PlaysEachBufferWhenTheClockReachesIt) {
  MonitorRecorder recorder("music.monitor");
  ASSERT_EQ(recorder.error(), "");
  const AudioFormat mono44k{44100, 1};  // converted to the stream's 48 kHz stereo
  auto synchronizer = std::make_shared<RenderSynchronizer>();
  PulseAudioRenderer renderer(mono44k, synchronizer);
  synchronizer->setRate(1.0, MediaTime{0, 44100});

  // A null sink plays up to 2 s after a stream writes, so the tones begin 3 s on the clock: 440 Hz
  // for a second, then 880 Hz for a second, then silence.
  for (std::int64_t start = 3 * 44100; start < 5 * 44100; start += 4410) {
    auto buffer = std::make_shared<PCMBuffer>(PCMBuffer{mono44k, std::vector<float>(4410)});
    const double frequency = start < 4 * 44100 ? 440 : 880;
    for (std::size_t i = 0; i < buffer->samples.size(); ++i) {
      buffer->samples[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * frequency * (start + i) / 44100.0));
    }
    renderer.enqueue(*makeSampleBuffer(buffer, MediaTime{start, 44100}));
  }
  QTest::qWait(8000);
  const auto& sound = recorder.stop();

  // Each buffer is heard whole and in its place: the second tone a second after the first.
  const double first = onsetOf(sound, 440);
  const double second = onsetOf(sound, 880);
  ASSERT_GE(first, 0);
  ASSERT_GT(second, first);
  EXPECT_NEAR(second - first, 1.0, 0.045);
  const auto afterEnd = static_cast<std::size_t>((second + 1.05) * recordingRate);
  ASSERT_LT(afterEnd + 4800, sound.size());
  EXPECT_EQ(toneOf(sound.data() + afterEnd, 4800), 0);
}

// This computer's copy of the multi-room stream goes on when the sound server comes back.
TEST(PulseServerAudioRenderer, ThisComputersCopyPlaysAgainAfterTheSoundServerCameBack) {
  if (!std::getenv("KOVALI_SOUND_SERVER_CONTROL")) GTEST_SKIP() << "needs the server control of the test script";
  const AudioFormat stereo48k{48000, 2};
  auto synchronizer = std::make_shared<RenderSynchronizer>();
  LocalMirror mirror(stereo48k, timersOnOwnQueue(QStringLiteral("kovaliapp.host.multiroom.copy")), std::make_unique<PulseAudioRenderer>(stereo48k, synchronizer), synchronizer);
  // 15 s of 440 Hz, the most the copy keeps, played from its start.
  for (std::int64_t start = 0; start < 15 * 48000; start += 4800) {
    auto buffer = std::make_shared<PCMBuffer>(PCMBuffer{stereo48k, std::vector<float>(2 * 4800)});
    for (std::size_t i = 0; i < buffer->samples.size(); ++i) {
      buffer->samples[i] = static_cast<float>(0.5 * std::sin(2 * M_PI * 440 * (start + i / 2) / 48000.0));
    }
    mirror.push(buffer, start);
  }
  mirror.start(0.5);
  QTest::qWait(1500);

  ASSERT_TRUE(controlSoundServer("stop"));
  QTest::qWait(500);
  ASSERT_TRUE(controlSoundServer("start"));
  MonitorRecorder recorder("music.monitor");
  ASSERT_EQ(recorder.error(), "");
  QTest::qWait(5000);
  const auto& sound = recorder.stop();
  mirror.stop();

  EXPECT_GT(secondsOfTone(sound, 440), 1.0) << "the copy was not heard again";
}

}  // namespace
}  // namespace kovali
