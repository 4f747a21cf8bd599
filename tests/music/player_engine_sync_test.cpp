#include <gmock/gmock.h>

#include "music/player_engine_fixture.h"

namespace kovali {
namespace {

using ::testing::ElementsAre;
using Failed = PlayerEngine::Failed;

TEST_F(PlayerEngineTest, RunsTwoSyncsOneAfterTheOtherInCallOrder) {
  engine.sync(song("a"), std::nullopt, Status::playing);
  engine.sync(song("b"), std::nullopt, Status::playing);
  runPostedEvents();
  EXPECT_THAT(player.waiting(), ElementsAre("prepareToPlay"));
  EXPECT_THAT(logLinesStartingWith("load: "), ElementsAre("load: Title a"));
  EXPECT_TRUE(engine.isMutating());

  player.releaseNext();
  runPostedEvents();
  EXPECT_THAT(player.waiting(), ElementsAre("play"));
  EXPECT_THAT(logLinesStartingWith("load: "), ElementsAre("load: Title a"));

  player.releaseNext();  // the first sync finishes; only now does the second begin
  runPostedEvents();
  EXPECT_THAT(logLinesStartingWith("load: "), ElementsAre("load: Title a", "load: Title b"));
  EXPECT_THAT(player.waiting(), ElementsAre("prepareToPlay"));

  settle();
  EXPECT_EQ(engine.currentSongID(), "b");
  EXPECT_FALSE(engine.isMutating());
  EXPECT_THAT(logLinesStartingWith("playing "),
              ElementsAre("playing Title a; entries=1, currentEntry=E1", "playing Title b; entries=1, currentEntry=E2"));
}

TEST_F(PlayerEngineTest, LoadsTheCurrentAndTheNextSongUnderCurrentAndNext) {
  syncAndSettle(song("a"), song("b"), Status::playing);
  EXPECT_THAT(player.calls, ElementsAre("setQueue Title a,Title b", "prepareToPlay", "play"));
  EXPECT_EQ(engine.currentSongID(), "a");
  EXPECT_EQ(engine.nextSongID(), "b");
  EXPECT_EQ(engine.currentTitle(), "Title a");
  EXPECT_TRUE(logged("load: Title a → Title b"));
  EXPECT_TRUE(logged("playing Title a; entries=2, currentEntry=E1"));
}

TEST_F(PlayerEngineTest, LoadsOnlyTheCurrentSongUnderCurrentOnly) {
  engine.setStrategy(PlayerEngine::Strategy::currentOnly);
  syncAndSettle(song("a"), song("b"), Status::paused);
  EXPECT_THAT(player.calls, ElementsAre("setQueue Title a", "prepareToPlay"));
  EXPECT_EQ(engine.nextSongID(), std::nullopt);
  EXPECT_TRUE(logged("loaded Title a; entries=1, currentEntry=E1"));
}

TEST_F(PlayerEngineTest, LeavesTheQueueAloneForTheSameSongs) {
  syncAndSettle(song("a"), song("b"), Status::playing);
  player.calls.clear();
  syncAndSettle(song("a"), song("b"), Status::paused);
  EXPECT_THAT(player.calls, ElementsAre("pause"));
  EXPECT_TRUE(logged("sync: paused"));
}

TEST_F(PlayerEngineTest, RebuildsTheNextEntryWhenTheNextSongChanges) {
  struct Case {
    const char* name;
    PlayerEngine::Strategy strategy;
    std::optional<Song> next;
    std::vector<std::string> calls;
    const char* line;  // the rebuild line, or none
  };
  const Case cases[] = {
      {"another next song", PlayerEngine::Strategy::currentAndNext, song("c"), {"remove E2", "insert Title c"},
       "rebuilt next → Title c (entries 2 → 2, status playing)"},
      {"next song removed", PlayerEngine::Strategy::currentAndNext, std::nullopt, {"remove E2"},
       "rebuilt next → none (entries 2 → 1, status playing)"},
      {"current only drops the queued next entry", PlayerEngine::Strategy::currentOnly, song("b"), {"remove E2"},
       "rebuilt next → none (entries 2 → 1, status playing)"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ManualScheduler caseScheduler;
    FakeMusicPlayer casePlayer(caseScheduler);
    PlayerEngine caseEngine(casePlayer, caseScheduler);
    auto settleCase = [&] {
      runPostedEvents();
      while (casePlayer.releaseNext()) runPostedEvents();
    };
    caseEngine.sync(song("a"), song("b"), Status::playing);
    settleCase();
    caseEngine.setStrategy(c.strategy);
    casePlayer.calls.clear();

    caseEngine.sync(song("a"), c.next, Status::playing);
    settleCase();

    EXPECT_EQ(casePlayer.calls, c.calls);
    std::vector<std::string> rebuilt;
    for (const auto& line : caseEngine.log()) {
      if (line.text.starts_with("rebuilt next")) rebuilt.push_back(line.text);
    }
    EXPECT_THAT(rebuilt, ElementsAre(c.line));
    EXPECT_EQ(caseEngine.nextSongID(), c.strategy == PlayerEngine::Strategy::currentOnly || !c.next
                                           ? std::nullopt
                                           : std::optional(c.next->id));
  }
}

TEST_F(PlayerEngineTest, AFailedInsertRecordsNoNextSong) {
  syncAndSettle(song("a"), song("b"), Status::playing);
  EXPECT_THAT(takeEvents(), ElementsAre(Event{PlayerEngine::StatusChanged{Status::playing}}));
  player.failNextInsert(playerError(7));
  syncAndSettle(song("a"), song("c"), Status::playing);
  EXPECT_EQ(engine.nextSongID(), std::nullopt);
  EXPECT_EQ(logLinesStartingWith("insert(.tail) failed: ").size(), 1u);
  EXPECT_TRUE(takeEvents().empty());
}

TEST_F(PlayerEngineTest, APrepareFailureSendsOneFailedEventAndClearsTheFields) {
  syncAndSettle(song("a"), song("b"), Status::playing);
  takeEvents();
  player.failNextPrepare(playerError(2));

  syncAndSettle(song("c"), song("d"), Status::playing);

  EXPECT_THAT(takeEvents(),
              ElementsAre(Event{Failed{"The song's file could not be read. (kovaliapp.player 2)", "c"}}))
      << "an unreadable file names its song, so the party can move past it";
  EXPECT_EQ(engine.currentSongID(), std::nullopt);
  EXPECT_EQ(engine.nextSongID(), std::nullopt);
  EXPECT_EQ(engine.currentTitle(), std::nullopt);
  EXPECT_EQ(engine.failedSongID(), "c");
  EXPECT_THAT(logLinesStartingWith("load failed: "),
              ElementsAre("load failed: Error Domain=kovaliapp.player Code=2 \"The song's file could not be read.\""));
  EXPECT_FALSE(engine.isMutating());
}

TEST_F(PlayerEngineTest, AFailedSongWaitsForPlayBeforeItIsLoadedAgain) {
  player.failNextPlay(playerError());
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  ASSERT_EQ(engine.failedSongID(), "a");
  player.calls.clear();

  syncAndSettle(song("a"), std::nullopt, Status::paused);
  EXPECT_TRUE(player.calls.empty());
  EXPECT_TRUE(logged("sync: Title a failed; waiting for Play before trying again"));

  syncAndSettle(song("a"), std::nullopt, Status::playing);
  EXPECT_THAT(player.calls, ElementsAre("setQueue Title a", "prepareToPlay", "play"));
  EXPECT_EQ(engine.currentSongID(), "a");
}

TEST_F(PlayerEngineTest, ResumesAnInterruptedOrPausedPlayerAndReportsAFailedResume) {
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  player.interrupt();
  player.calls.clear();
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  EXPECT_THAT(player.calls, ElementsAre("play"));
  EXPECT_TRUE(logged("sync: resumed"));

  player.setPlaybackTime(30);  // a pause this late is no end of the song
  player.setStatusFromOutside(MusicPlayerStatus::paused);
  settle();
  takeEvents();
  player.failNextPlay(playerError(4));
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  EXPECT_THAT(takeEvents(), ElementsAre(Event{Failed{"The song's file could not be read. (kovaliapp.player 4)"}}));
  EXPECT_EQ(engine.currentSongID(), "a");  // a failed resume keeps the song
  EXPECT_EQ(logLinesStartingWith("sync: play() failed: ").size(), 1u);
}

TEST_F(PlayerEngineTest, StopsAndEmptiesThePlayerWhenNothingIsLeftToPlay) {
  syncAndSettle(std::nullopt, std::nullopt, Status::stopped);
  EXPECT_TRUE(player.calls.empty());
  EXPECT_TRUE(engine.log().empty());

  player.failNextPlay(playerError());
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  syncAndSettle(song("b"), std::nullopt, Status::playing);
  player.calls.clear();
  syncAndSettle(std::nullopt, std::nullopt, Status::stopped);
  EXPECT_THAT(player.calls, ElementsAre("stop", "setQueue "));
  EXPECT_EQ(engine.currentSongID(), std::nullopt);
  EXPECT_EQ(engine.failedSongID(), "a");  // kept
  EXPECT_TRUE(logged("sync: nothing to play, stopped"));
}

TEST_F(PlayerEngineTest, TheWatchdogReportsASongStillNotPlayingAfter15Seconds) {
  player.neverStarts = true;
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  takeEvents();

  scheduler.advance(14.9);
  settle();
  EXPECT_TRUE(takeEvents().empty());

  scheduler.advance(0.1);
  settle();
  EXPECT_THAT(takeEvents(), ElementsAre(Event{Failed{"The music player has not started playing “Title a”."}}));
  EXPECT_EQ(logTexts().back(), "watchdog: Title a still not playing after 15 s (paused, at 0:00)");
}

TEST_F(PlayerEngineTest, TheWatchdogStaysSilentWhileTheSongPlays) {
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  takeEvents();

  for (int second = 0; second < 20; ++second) {
    scheduler.advance(1);
    settle();
  }
  for (const auto& event : takeEvents()) {
    if (const auto* failed = std::get_if<Failed>(&event)) ADD_FAILURE() << "reported: " << failed->message;
  }
  EXPECT_EQ(engine.failedSongID(), std::nullopt);
  EXPECT_EQ(player.playbackStatus(), MusicPlayerStatus::playing);
}

TEST_F(PlayerEngineTest, TheWatchdogStaysSilentAfterASongChange) {
  player.neverStarts = true;
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  scheduler.advance(5);
  syncAndSettle(song("b"), std::nullopt, Status::playing);  // arms its own watchdog
  takeEvents();

  scheduler.advance(10);
  settle();
  EXPECT_TRUE(takeEvents().empty());  // fifteen seconds after "a": no report about it

  scheduler.advance(5);
  settle();
  EXPECT_THAT(takeEvents(), ElementsAre(Event{Failed{"The music player has not started playing “Title b”."}}));
}

TEST_F(PlayerEngineTest, TheWatchdogEndsSilentlyOnceTheSongIsGoneOrPlaybackIsNoLongerWanted) {
  struct Case {
    const char* name;
    std::optional<Song> then;
    Status status;
    bool thenFailsToLoad;
  };
  const Case cases[] = {
      {"load of another song failed", song("b"), Status::playing, true},
      {"paused wanted", song("a"), Status::paused, false},
      {"nothing left", std::nullopt, Status::stopped, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    player.neverStarts = true;
    syncAndSettle(song("a"), std::nullopt, Status::playing);
    if (c.thenFailsToLoad) player.failNextPrepare(playerError());
    syncAndSettle(c.then, std::nullopt, c.status);
    takeEvents();
    scheduler.advance(PlayerEngine::watchdogSeconds);
    settle();
    for (const auto& event : takeEvents()) {
      if (const auto* failed = std::get_if<Failed>(&event)) ADD_FAILURE() << "reported: " << failed->message;
    }
    syncAndSettle(std::nullopt, std::nullopt, Status::stopped);
    scheduler.advance(PlayerEngine::watchdogSeconds);
    settle();
    takeEvents();
  }
}

TEST_F(PlayerEngineTest, TheWatchdogReportsAPausedSongEvenIfItHadStarted) {
  syncAndSettle(song("a"), std::nullopt, Status::playing);
  scheduler.advance(2);
  settle();
  ASSERT_TRUE(engine.currentStarted());
  player.setStatusFromOutside(MusicPlayerStatus::paused);
  settle();
  takeEvents();

  scheduler.advance(13);
  settle();
  EXPECT_THAT(takeEvents(), ElementsAre(Event{Failed{"The music player has not started playing “Title a”."}}));
}

}  // namespace
}  // namespace kovali
