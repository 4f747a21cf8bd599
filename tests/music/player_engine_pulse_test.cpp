// The engine on the real player. Runs only inside tests/platform/sound/pulse_music_player_test.sh,
// which starts a sound server of its own and makes the test tracks.

#include <cstdlib>

#include <QElapsedTimer>
#include <QTest>
#include <gmock/gmock.h>

#include "music/player_engine.h"
#include "platform/runtime/qt_scheduler.h"
#include "platform/sound/player/pulse_music_player.h"

namespace kovali {
namespace {

using Event = PlayerEngine::Event;

Song track(const char* name, const char* id) {
  Song song;
  song.id = id;
  song.title = name;
  song.fileURL = std::string(std::getenv("KOVALI_PULSE_TRACKS")) + "/" + name;  // a plain path
  return song;
}

TEST(PulseServerPlayerEngine, PlaysTheSessionsSongsAndReportsTheirEnds) {
  if (!std::getenv("KOVALI_PULSE_TRACKS")) GTEST_SKIP() << "needs the sound server of pulse_music_player_test.sh";
  QtScheduler scheduler;
  PulseMusicPlayer player;
  PlayerEngine engine(player, scheduler);
  std::vector<Event> events;
  QObject::connect(&engine, &PlayerEngine::eventReported, [&](const Event& event) { events.push_back(event); });

  engine.sync(track("a.flac", "a"), track("b.mp3", "b"), vinaro::PlaybackStatus::playing);
  QElapsedTimer clock;
  clock.start();
  while (clock.elapsed() < 9000 && events.size() < 4) QTest::qWait(50);

  EXPECT_THAT(events, ::testing::ElementsAre(Event{PlayerEngine::StatusChanged{vinaro::PlaybackStatus::playing}},
                                             Event{PlayerEngine::TrackEnded{"a"}},
                                             Event{PlayerEngine::StatusChanged{vinaro::PlaybackStatus::paused}},
                                             Event{PlayerEngine::TrackEnded{"b"}}));
  std::vector<std::string> lines;
  for (const auto& line : engine.log()) lines.push_back(line.text);
  EXPECT_THAT(lines, ::testing::Contains("playing a.flac; entries=2, currentEntry=1"));
  EXPECT_THAT(lines, ::testing::Contains("auto-advanced to b.mp3"));
  EXPECT_THAT(lines, ::testing::Contains("queue exhausted after b.mp3 (paused)"));
}

}  // namespace
}  // namespace kovali
