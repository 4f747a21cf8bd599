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

/// A song `id` of `notes`, each `seconds` long, written into `dir`.
Song toneSong(const QTemporaryDir& dir, const std::string& id, std::vector<double> notes, double seconds) {
  const ToneFile file{dir.filePath(QString::fromStdString(id + ".flac")).toStdString(), std::move(notes), seconds, {}, {}, 0, 0};
  EXPECT_EQ(writeToneFile(file), std::nullopt) << id;
  Song song;
  song.id = id;
  song.title = id;
  song.fileURL = file.path;
  return song;
}

// The server goes away in the middle of a song: the tap already has the half second the player
// wrote ahead, so when the server is back the song goes on after it rather than giving it again.
TEST(PulseServerMusicPlayerTap, AfterTheSoundServerCameBackTheTapGetsNoStretchOfTheSongTwice) {
  if (!std::getenv("KOVALI_SOUND_SERVER_CONTROL")) GTEST_SKIP() << "needs the server control of the test script";
  const std::vector<double> notes{300, 400, 500, 600, 700, 800, 900, 1000};
  QTemporaryDir dir;
  const Song song = toneSong(dir, "steps", notes, 0.5);

  PulseMusicPlayer player;
  Tapped tapped;
  player.setTap([&](const float* samples, std::size_t frames) { tapped.add(samples, frames); });
  player.setQueue({song});
  ASSERT_EQ(QCoro::waitFor(player.play()), std::nullopt);
  ASSERT_TRUE(waitUntil([&] { return player.playbackTime() > 1.6; }, 5));

  ASSERT_TRUE(controlSoundServer("stop"));
  const bool interrupted = waitUntil([&] { return player.playbackStatus() != MusicPlayerStatus::playing; }, 5);
  ASSERT_TRUE(controlSoundServer("start"));
  ASSERT_TRUE(interrupted);
  ASSERT_EQ(QCoro::waitFor(player.play()), std::nullopt);
  ASSERT_TRUE(waitUntil([&] { return player.playbackStatus() == MusicPlayerStatus::playing; }, 5));
  EXPECT_TRUE(waitUntil([&] { return player.playbackStatus() != MusicPlayerStatus::playing; }, 8)) << "played out";
  const auto sound = tapped.sound();

  EXPECT_NEAR(secondsOfSound(sound), 4.0, 0.1) << "the whole song, once";
  for (const double note : notes) EXPECT_NEAR(secondsOfTone(sound, note), 0.5, 0.15) << note << " Hz";
}

// Held before it plays, the player writes ahead into the server's buffer: two short songs and the
// start of a third, all handed to the tap already. The third is taken out: the tap keeps its start,
// and the fourth follows the second without the second again.
TEST(PulseServerMusicPlayerTap, ANextSongTakenOutWhileTappedLeavesTheSongBeforeItOnce) {
  if (!std::getenv("KOVALI_PULSE_TRACKS")) GTEST_SKIP() << "needs the sound server of pulse_music_player_test.sh";
  QTemporaryDir dir;
  PulseMusicPlayer player;
  Tapped tapped;
  player.setTap([&](const float* samples, std::size_t frames) { tapped.add(samples, frames); });
  player.setQueue({toneSong(dir, "first", {300}, 0.1), toneSong(dir, "short", {500}, 0.15),
                   toneSong(dir, "taken", {700}, 1.0), toneSong(dir, "last", {900}, 0.5)});
  const auto taken = player.entries()[2].id;
  ASSERT_EQ(QCoro::waitFor(player.prepareToPlay()), std::nullopt);
  ASSERT_TRUE(waitUntil([&] { return tapped.sound().size() > 0.3 * recordingRate; }, 5)) << "the third song is written";
  ASSERT_EQ(player.currentEntry()->title, "first") << "nothing is heard yet";

  player.removeEntries({taken});
  ASSERT_EQ(QCoro::waitFor(player.play()), std::nullopt);
  ASSERT_TRUE(waitUntil([&] { return player.playbackStatus() == MusicPlayerStatus::playing; }, 5));
  EXPECT_TRUE(waitUntil([&] { return player.playbackStatus() != MusicPlayerStatus::playing; }, 8)) << "played out";
  const auto sound = tapped.sound();

  EXPECT_NEAR(secondsOfTone(sound, 500), 0.15, 0.06) << "the second song, once";
  EXPECT_LT(secondsOfTone(sound, 700), 0.4) << "only the start of the song taken out";
  EXPECT_NEAR(secondsOfTone(sound, 900), 0.5, 0.1) << "the last song, whole";
}

}  // namespace
}  // namespace kovali
