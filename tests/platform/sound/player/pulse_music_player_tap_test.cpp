// Taps the player through a real sound server. Runs only inside
// tests/platform/sound/pulse_music_player_test.sh, which starts a server of its own and can take it
// away and bring it back.

#include "platform/sound/player/pulse_music_player.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <span>
#include <vector>

#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/library/tone_file_writer.h"
#include "support/sound_recording.h"

namespace kovali {
namespace {

/// What the tap was handed, as mono.
struct Tapped {
  void add(const float* samples, std::size_t frames) {
    std::lock_guard lock(mutex);
    for (std::size_t frame = 0; frame < frames; ++frame) mono.push_back((samples[2 * frame] + samples[2 * frame + 1]) / 2);
  }
  std::vector<float> sound() {
    std::lock_guard lock(mutex);
    return mono;
  }

  std::mutex mutex;
  std::vector<float> mono;
};

/// Runs the test script's control of its sound server: "stop" or "start".
bool soundServer(const char* what) {
  return QProcess::execute(QString::fromLocal8Bit(std::getenv("KOVALI_SOUND_SERVER_CONTROL")),
                           {QString::fromLatin1(what), QString::fromLocal8Bit(std::getenv("KOVALI_SOUND_SERVER_DIR"))}) == 0;
}

/// Seconds of `sound` that are not silent, in 10 ms windows.
double secondsOfSound(const std::vector<float>& sound) {
  constexpr std::size_t window = recordingRate / 100;
  int loud = 0;
  for (std::size_t start = 0; start + window <= sound.size(); start += window) {
    const auto peak = std::ranges::max(std::span(sound).subspan(start, window), {}, [](float x) { return std::abs(x); });
    if (std::abs(peak) > 0.05f) ++loud;
  }
  return loud / 100.0;
}

bool waitUntil(const std::function<bool()>& done, double seconds) {
  return QTest::qWaitFor(done, static_cast<int>(seconds * 1000));
}

// The server goes away in the middle of a song: the tap already has the half second the player
// wrote ahead, so when the server is back the song goes on after it rather than giving it again.
TEST(PulseServerMusicPlayerTap, AfterTheSoundServerCameBackTheTapGetsNoStretchOfTheSongTwice) {
  if (!std::getenv("KOVALI_SOUND_SERVER_CONTROL")) GTEST_SKIP() << "needs the server control of the test script";
  const std::vector<double> notes{300, 400, 500, 600, 700, 800, 900, 1000};
  QTemporaryDir dir;
  const ToneFile file{dir.filePath("steps.flac").toStdString(), notes, 0.5, {}, {}, 0, 0};
  ASSERT_EQ(writeToneFile(file), std::nullopt);
  Song song;
  song.id = "steps";
  song.title = "Steps";
  song.fileURL = file.path;

  PulseMusicPlayer player;
  Tapped tapped;
  player.setTap([&](const float* samples, std::size_t frames) { tapped.add(samples, frames); });
  player.setQueue({song});
  ASSERT_EQ(QCoro::waitFor(player.play()), std::nullopt);
  ASSERT_TRUE(waitUntil([&] { return player.playbackTime() > 1.6; }, 5));

  ASSERT_TRUE(soundServer("stop"));
  const bool interrupted = waitUntil([&] { return player.playbackStatus() != MusicPlayerStatus::playing; }, 5);
  ASSERT_TRUE(soundServer("start"));
  ASSERT_TRUE(interrupted);
  ASSERT_EQ(QCoro::waitFor(player.play()), std::nullopt);
  ASSERT_TRUE(waitUntil([&] { return player.playbackStatus() == MusicPlayerStatus::playing; }, 5));
  EXPECT_TRUE(waitUntil([&] { return player.playbackStatus() != MusicPlayerStatus::playing; }, 8)) << "played out";
  const auto sound = tapped.sound();

  EXPECT_NEAR(secondsOfSound(sound), 4.0, 0.1) << "the whole song, once";
  for (const double note : notes) EXPECT_NEAR(secondsOfTone(sound, note), 0.5, 0.15) << note << " Hz";
}

}  // namespace
}  // namespace kovali
