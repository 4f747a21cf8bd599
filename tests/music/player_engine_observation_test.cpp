#include <gmock/gmock.h>

#include "music/player_engine_fixture.h"

namespace kovali {
namespace {

using ::testing::ElementsAre;
using Failed = PlayerEngine::Failed;
using StatusChanged = PlayerEngine::StatusChanged;
using TrackEnded = PlayerEngine::TrackEnded;

constexpr const char* stoppedBeforeStart =
    "The music player stopped “Title a” before it started. If no song plays, check that the sound server plays on "
    "this computer, or restart it.";

TEST_F(PlayerEngineTest, CountsASongAsStartedOnlyPastHalfASecondOfPlaying) {
  struct Case {
    double time;
    bool started;
  };
  const Case cases[] = {{0.4, false}, {0.5, false}, {0.6, true}};
  player.failNextPlay(playerError());
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  ASSERT_EQ(engine.failedSongID(), "a");
  syncAndSettle(song("a"), std::nullopt, Status::playing);

  for (const auto& c : cases) {
    SCOPED_TRACE(c.time);
    player.setPlaybackTime(c.time);
    settle();
    EXPECT_EQ(engine.playbackTime(), c.time);
    EXPECT_EQ(engine.currentStarted(), c.started);
    EXPECT_EQ(engine.failedSongID(), c.started ? std::nullopt : std::optional<std::string>("a"));
  }
}

TEST_F(PlayerEngineTest, AppliesTheEndRuleWhenThePlayerPausesOrStops) {
  struct Case {
    const char* name;
    bool started;
    std::optional<Song> next;
    MusicPlayerStatus seen;
    double at;
    bool endOfQueue;
    std::vector<Event> events;
    std::optional<std::string> line;
  };
  const Case cases[] = {
      {"end of the queue after the start", true, std::nullopt, MusicPlayerStatus::paused, 0.3, true,
       {StatusChanged{Status::paused}, TrackEnded{"a"}}, "queue exhausted after Title a (paused)"},
      {"end of the queue before the start", false, std::nullopt, MusicPlayerStatus::paused, 0.3, true,
       {StatusChanged{Status::paused}, Failed{stoppedBeforeStart}}, "Title a stopped before it started (paused)"},
      {"stopped after the start", true, song("b"), MusicPlayerStatus::stopped, 12, false,
       {StatusChanged{Status::stopped}, TrackEnded{"a"}}, "queue exhausted after Title a (stopped)"},
      {"paused late in the song", true, std::nullopt, MusicPlayerStatus::paused, 42, false,
       {StatusChanged{Status::paused}}, std::nullopt},
      {"paused early with a next entry queued", false, song("b"), MusicPlayerStatus::paused, 0.3, false,
       {StatusChanged{Status::paused}}, std::nullopt},
      {"interrupted", true, std::nullopt, MusicPlayerStatus::interrupted, 0.2, false,
       {StatusChanged{Status::paused}}, std::nullopt},
      {"seeking", true, std::nullopt, MusicPlayerStatus::seekingForward, 0.2, false, {}, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ManualScheduler caseScheduler;
    FakeMusicPlayer casePlayer(caseScheduler);
    PlayerEngine caseEngine(casePlayer, caseScheduler);
    std::vector<Event> caseEvents;
    QObject::connect(&caseEngine, &PlayerEngine::eventReported,
                     [&](const Event& event) { caseEvents.push_back(event); });
    auto settleCase = [&] {
      runPostedEvents();
      while (casePlayer.releaseNext()) runPostedEvents();
    };
    caseEngine.sync(song("a"), c.next, Status::playing);
    settleCase();
    if (c.started) casePlayer.setPlaybackTime(0.6);
    settleCase();
    ASSERT_EQ(caseEngine.currentStarted(), c.started);
    ASSERT_EQ(caseEvents, std::vector<Event>{StatusChanged{Status::playing}});  // the load's start
    caseEvents.clear();

    if (c.endOfQueue) {
      casePlayer.runOutOfQueue(c.at);
    } else {
      casePlayer.setPlaybackTime(c.at);
      casePlayer.setStatusFromOutside(c.seen);
    }
    settleCase();

    EXPECT_EQ(caseEvents, c.events);
    const bool ended = c.events.size() == 2;
    EXPECT_EQ(caseEngine.currentSongID().has_value(), !ended);
    EXPECT_EQ(caseEngine.failedSongID(), ended && !c.started ? std::optional<std::string>("a") : std::nullopt);
    const bool endLogged = std::ranges::any_of(caseEngine.log(), [](const PlayerEngine::LogLine& line) {
      return line.text.find("queue exhausted") != std::string::npos ||
             line.text.find("stopped before it started") != std::string::npos;
    });
    EXPECT_EQ(endLogged, c.line.has_value());
    if (c.line) {
      EXPECT_TRUE(std::ranges::any_of(caseEngine.log(), [&](const auto& line) { return line.text == *c.line; }));
    }
  }
}

TEST_F(PlayerEngineTest, AStopWhileASyncChangesThePlayerIsNoEnd) {
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  player.setPlaybackTime(3);
  settle();
  takeEvents();

  engine.sync(song("b"), std::nullopt, Status::playing);
  runPostedEvents();
  ASSERT_THAT(player.waiting(), ElementsAre("prepareToPlay"));
  player.setStatusFromOutside(MusicPlayerStatus::stopped);
  runPostedEvents();

  EXPECT_THAT(takeEvents(), ElementsAre(Event{StatusChanged{Status::stopped}}));
  EXPECT_EQ(engine.status(), Status::stopped);
  EXPECT_EQ(engine.currentSongID(), "a");  // nothing cleared while the sync runs
  EXPECT_TRUE(logLinesStartingWith("queue exhausted").empty());
  settle();
  EXPECT_EQ(engine.currentSongID(), "b");
}

TEST_F(PlayerEngineTest, WritesTheStatusLineOnEveryChangeOfThePlayersOwnStatus) {
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  player.setPlaybackTime(75.9);
  player.seek(true);
  settle();
  EXPECT_THAT(logLinesStartingWith("status "),
              ElementsAre("status stopped → paused at 0:00", "status paused → playing at 0:00",
                          "status playing → seekingForward at 1:15"));
  EXPECT_EQ(engine.status(), Status::playing);
}

TEST_F(PlayerEngineTest, FollowsThePlayerWithoutEventsWhileNoSongIsLoaded) {
  player.setQueue({song("x")});
  player.setStatusFromOutside(MusicPlayerStatus::playing);
  settle();
  EXPECT_EQ(engine.status(), Status::playing);
  EXPECT_TRUE(takeEvents().empty());
}

// The player starts during the load, before the song counts as current: the session still has
// to learn of that start, to count the song's time from the player's.
TEST_F(PlayerEngineTest, ReportsASongThatStartedWhileItWasLoadingOnceItIsLoaded) {
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  EXPECT_THAT(takeEvents(), ElementsAre(Event{StatusChanged{Status::playing}}));

  syncAndSettle(song("b"), std::nullopt, Status::playing);  // playing all along: nothing new
  EXPECT_THAT(takeEvents(), ElementsAre());

  engine.sync(std::nullopt, std::nullopt, Status::stopped);
  settle();
  takeEvents();
  syncAndSettle(song("c"), std::nullopt, Status::paused);  // loaded, not started: nothing
  EXPECT_THAT(takeEvents(), ElementsAre());

  // Paused by the DJ while the song was loading: its start is old news by then.
  engine.sync(std::nullopt, std::nullopt, Status::stopped);
  settle();
  takeEvents();
  engine.sync(song("d"), std::nullopt, Status::playing);
  engine.sync(song("d"), std::nullopt, Status::paused);
  settle();
  EXPECT_THAT(takeEvents(), ElementsAre(Event{StatusChanged{Status::paused}}));
}

TEST_F(PlayerEngineTest, AdvancesToTheQueuedNextSongAtTheEndOfASong) {
  syncAndSettle(song("a", 3), song("b", 60), Status::playing);
  takeEvents();

  scheduler.advance(3.2);
  settle();

  EXPECT_THAT(takeEvents(), ElementsAre(Event{TrackEnded{"a"}}));
  EXPECT_EQ(engine.currentSongID(), "b");
  EXPECT_EQ(engine.nextSongID(), std::nullopt);
  EXPECT_EQ(engine.currentTitle(), "Title b");
  EXPECT_FALSE(engine.currentStarted());
  EXPECT_TRUE(logged("currentEntry E1 → E2 (Title b, song b)"));
  EXPECT_TRUE(logged("auto-advanced to Title b"));

  // The advanced song then ends the queue like any other.
  scheduler.advance(60);
  settle();
  EXPECT_THAT(takeEvents(), ElementsAre(Event{StatusChanged{Status::paused}}, Event{TrackEnded{"b"}}));
  EXPECT_EQ(engine.currentSongID(), std::nullopt);
}

TEST_F(PlayerEngineTest, OnlyLogsAnUnexpectedOrVanishedEntry) {
  syncAndSettle(song("a"), song("b"), Status::playing);
  auto insertion = player.insertAtTail(song("c"));  // an entry the engine did not ask for: E3
  settle();
  takeEvents();
  const auto before = logTexts().size();

  player.setCurrentEntryFromOutside(2);
  settle();
  player.setCurrentEntryFromOutside(std::nullopt);
  settle();

  EXPECT_TRUE(takeEvents().empty());
  EXPECT_EQ(engine.currentSongID(), "a");
  EXPECT_EQ(engine.nextSongID(), "b");
  const auto texts = logTexts();
  EXPECT_THAT(std::vector(texts.begin() + static_cast<std::ptrdiff_t>(before), texts.end()),
              ElementsAre("currentEntry E1 → E3 (Title c, song c)",
                          "entry changed to an unexpected song c; expected next=b",
                          "currentEntry E3 → nil (-, song -)"));
}

TEST_F(PlayerEngineTest, ReportsASongThatStoppedBeforeItStarted) {
  syncAndSettle(song("a", 200), std::nullopt, Status::playing);
  EXPECT_THAT(takeEvents(), ElementsAre(Event{StatusChanged{Status::playing}}));
  player.stopsAt = 0.3;
  scheduler.advance(0.3);
  settle();
  EXPECT_THAT(takeEvents(), ElementsAre(Event{StatusChanged{Status::stopped}}, Event{Failed{stoppedBeforeStart}}));
  EXPECT_EQ(logTexts().back(), "Title a stopped before it started (stopped)");
  EXPECT_EQ(engine.failedSongID(), "a");
}

}  // namespace
}  // namespace kovali
