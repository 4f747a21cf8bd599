// The stream player against the real stream server on 127.0.0.1. The PulseServer tests play
// sound and run only inside tests/platform/sound/pulse_music_player_test.sh, which starts a
// server with a null sink "music" as the default output.

#include "platform/sound/airplay/pulse_stream_player.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "support/live_tone_stream.h"
#include "support/sound_recording.h"

namespace kovali {
namespace {

constexpr double segmentSeconds = 48128.0 / 48000;  // 47 AAC frames of 1024
constexpr double priming = 1024.0 / 48000;

using LiveStream = test::LiveToneStream;  // a live tone at 440 Hz

/// Loads `url` and answers the first status reported within `patience` milliseconds.
std::pair<StreamPlayer::ItemStatus, std::string> loadAndWait(StreamPlayer& player, const QUrl& url, int patience = 8000) {
  QSignalSpy status(&player, &StreamPlayer::itemStatusChanged);
  player.load(url);
  if (!status.wait(patience)) return {StreamPlayer::ItemStatus::unknown, "no status within the patience"};
  return {status.front()[0].value<StreamPlayer::ItemStatus>(), status.front()[1].value<std::string>()};
}

TEST(PulseStreamPlayer, AStreamThatCannotBeLoadedFailsWithASentence) {
  LiveStream live;
  ASSERT_NE(live.port(), 0);
  struct Case {
    const char* name;
    QUrl url;
    std::string sentence;
  } cases[] = {
      {"missing playlist", live.url("/missing.m3u8"), "The stream's playlist could not be loaded (HTTP 404)."},
      {"not a playlist", live.url("/init.mp4"), "The stream's playlist is not an HLS playlist."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PulseStreamPlayer player;
    const auto [status, sentence] = loadAndWait(player, c.url);
    EXPECT_EQ(status, StreamPlayer::ItemStatus::failed);
    EXPECT_EQ(sentence, c.sentence);
    EXPECT_TRUE(player.hasItem());
    EXPECT_FALSE(player.isPlaying());
    EXPECT_EQ(player.currentTime(), std::nullopt);
    EXPECT_EQ(player.route(), StreamPlayer::Route::unknown);
  }
}

TEST(PulseServerStreamPlayer, PlaysTheLiveStreamOnThisComputerWithItsTimeAndSeekableRange) {
  LiveStream live;
  ASSERT_NE(live.port(), 0);
  MonitorRecorder recorder("music.monitor");
  ASSERT_EQ(recorder.error(), "");
  PulseStreamPlayer player;
  const auto [status, sentence] = loadAndWait(player, live.url());
  ASSERT_EQ(status, StreamPlayer::ItemStatus::readyToPlay) << sentence;
  EXPECT_TRUE(player.isPlaying());
  EXPECT_EQ(player.route(), StreamPlayer::Route::thisComputer);
  EXPECT_TRUE(player.outputDevices().empty());

  const auto before = player.currentTime();
  QTest::qWait(600);
  const auto after = player.currentTime();
  ASSERT_TRUE(before && after);
  EXPECT_NEAR(*after - *before, 0.6, 0.2);

  // The newest segment the player has read ends the range: the stream's newest, or the one
  // before when the stream cut another since the player's last reload.
  QTest::qWait(3000);
  const auto range = player.seekableRange();
  ASSERT_TRUE(range);
  const auto newest = live.newestSegment();
  const double end = range->end + priming;
  EXPECT_TRUE(std::abs(end - (newest + 1) * segmentSeconds) < 1e-3 || std::abs(end - newest * segmentSeconds) < 1e-3)
      << "end " << range->end << " with segment " << newest << " the newest";
  EXPECT_LT(range->start, *player.currentTime());
  EXPECT_GT(range->end, *player.currentTime());

  const auto& sound = recorder.stop();
  EXPECT_GT(secondsOfTone(sound, 440), 1.0);
  player.stop();
  EXPECT_FALSE(player.hasItem());
  EXPECT_EQ(player.seekableRange(), std::nullopt);
}

}  // namespace
}  // namespace kovali
