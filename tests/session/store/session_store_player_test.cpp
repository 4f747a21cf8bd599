#include <algorithm>

#include "session/store/session_store_fixture.h"
#include "support/sample_values.h"

namespace kovali {
namespace {

using vinaro::PlaybackStatus;
namespace action = vinaro::action;

class SessionStorePlayerTest : public SessionStoreTest {
 protected:
  void SetUp() override {
    catalog.songs = {song("s1"), song("s2"), song("s3")};
    makeStore();
  }

  void dispatch(const vinaro::SessionAction& change) {
    const auto result = store().dispatch(change, vinaro::Actor::host());
    ASSERT_TRUE(result) << result.error().message;
  }

  /// Lets the player's waiting operations finish until it waits on nothing.
  void settlePlayer() {
    runPostedEvents();
    while (systemPlayer.releaseNext()) runPostedEvents();
  }

  int lookups(const std::string& id) const {
    return static_cast<int>(std::count(catalog.requests.begin(), catalog.requests.end(), "catalog song " + id));
  }

  std::vector<std::string> queueLoads() const {
    std::vector<std::string> loads;
    std::copy_if(systemPlayer.calls.begin(), systemPlayer.calls.end(), std::back_inserter(loads),
                 [](const std::string& call) { return call.starts_with("setQueue"); });
    return loads;
  }

  /// As the engine reports it; every use checks what the store made of it.
  void report(const PlayerEngine::Event& event) { emit player.eventReported(event); }

  bool logged(const std::string& text) const {
    return std::ranges::any_of(player.log(), [&](const auto& line) { return line.text == text; });
  }
};

TEST_F(SessionStorePlayerTest, ThePlayerFollowsOnlyChangesOfWhatPlaysWhatIsNextOrWhetherItPlays) {
  dispatch(action::Add{MusicService::track(song("s1"))});
  runPostedEvents();
  EXPECT_EQ(lookups("s1"), 1) << "the queue's head changed";

  dispatch(action::SetMode{vinaro::PartyMode::suggestion});
  dispatch(action::SetMode{vinaro::PartyMode::collaboration});
  dispatch(action::Add{MusicService::track(song("s2"))});
  runPostedEvents();
  EXPECT_EQ(lookups("s2"), 0) << "a second song leaves the head as it was";

  dispatch(action::Play{});
  runPostedEvents();
  EXPECT_EQ(lookups("s2"), 1) << "playing made s2 the next song";
  settlePlayer();
  EXPECT_EQ(queueLoads(), (std::vector<std::string>{"setQueue Title s1,Title s2"}));
}

TEST_F(SessionStorePlayerTest, AStaleSyncMakesNoPlayerCall) {
  catalog.delay = 1;
  dispatch(action::Add{MusicService::track(song("s1"))});
  dispatch(action::Add{MusicService::track(song("s2"))});
  dispatch(action::Play{});  // looks up s1, then s2: two seconds
  runPostedEvents();
  dispatch(action::Skip{});  // looks up s2 only: one second

  advance(1);
  settlePlayer();
  EXPECT_EQ(queueLoads(), (std::vector<std::string>{"setQueue Title s2"}));

  advance(1);
  settlePlayer();
  EXPECT_EQ(queueLoads(), (std::vector<std::string>{"setQueue Title s2"})) << "the sync for s1 came too late";
}

TEST_F(SessionStorePlayerTest, AnOlderSyncThatFinishesLastDoesNotUndoAPause) {
  catalog.delay = 1;
  dispatch(action::Add{MusicService::track(song("s1"))});
  dispatch(action::Add{MusicService::track(song("s2"))});
  dispatch(action::Play{});  // looks up s1, then s2
  runPostedEvents();
  advance(1);  // s1 is known, s2 still on its way

  store().add(song("s2"));  // refused as a duplicate, but the song is cached now
  dispatch(action::Pause{});  // both songs known: syncs at once
  settlePlayer();
  ASSERT_EQ(player.status(), PlaybackStatus::paused);

  advance(1);  // the sync for playing gets its s2 only now
  settlePlayer();
  EXPECT_EQ(store().state().playback.status, PlaybackStatus::paused);
  EXPECT_EQ(player.status(), PlaybackStatus::paused) << "the older sync started the player again";
}

TEST_F(SessionStorePlayerTest, SyncsReachThePlayerInTheOrderOfTheChanges) {
  store().add(song("s1"));
  dispatch(action::Play{});
  runPostedEvents();  // the sync for playing is under way before the pause
  dispatch(action::Pause{});
  settlePlayer();
  const auto& calls = systemPlayer.calls;
  const auto load = std::find(calls.begin(), calls.end(), "setQueue Title s1");
  const auto pause = std::find(calls.begin(), calls.end(), "pause");
  ASSERT_NE(load, calls.end());
  ASSERT_NE(pause, calls.end());
  EXPECT_LT(load, pause);
  EXPECT_EQ(player.status(), PlaybackStatus::paused);
  EXPECT_EQ(store().songCache().at("s1"), song("s1")) << "a cached song stays whole after it was played";
}

TEST_F(SessionStorePlayerTest, ATrackEndForAnotherSongChangesNothing) {
  store().add(song("s1"));
  store().add(song("s2"));
  dispatch(action::Play{});
  const auto revision = store().state().revision;

  report(PlayerEngine::TrackEnded{"s2"});
  EXPECT_EQ(store().state().revision, revision);

  report(PlayerEngine::TrackEnded{"s1"});
  ASSERT_TRUE(store().state().playback.current);
  EXPECT_EQ(store().state().playback.current->track.id, "s2");
  EXPECT_EQ(store().lastHostError(), std::nullopt);
}

TEST_F(SessionStorePlayerTest, AStatusReportWhileNothingIsCurrentDispatchesNothing) {
  const auto revision = store().state().revision;
  report(PlayerEngine::StatusChanged{PlaybackStatus::paused});
  EXPECT_EQ(store().state().revision, revision);
}

TEST_F(SessionStorePlayerTest, TheReportedPositionIsWhatIsHeardNeverLessThanZero) {
  store().add(song("s1"));
  dispatch(action::Play{});
  settlePlayer();
  struct Case {
    double playerTime;
    double latency;
    double elapsed;
  } cases[] = {{3.0, 5.0, 0.0}, {10.0, 2.5, 7.5}};
  for (const auto& c : cases) {
    systemPlayer.setPlaybackTime(c.playerTime);
    runPostedEvents();
    player.setOutputLatency(c.latency);
    report(PlayerEngine::StatusChanged{PlaybackStatus::playing});
    EXPECT_DOUBLE_EQ(store().state().playback.elapsed, c.elapsed)
        << "player at " << c.playerTime << " s, latency " << c.latency << " s";
  }
}

TEST_F(SessionStorePlayerTest, AFailureWhilePausedKeepsThePartyPausedUntilPlayingClearsIt) {
  store().add(song("s1"));
  dispatch(action::Play{});
  dispatch(action::Pause{});
  const auto revision = store().state().revision;

  report(PlayerEngine::Failed{"The song's file could not be read."});
  EXPECT_EQ(store().playbackError(), "The song's file could not be read.");
  EXPECT_EQ(store().state().playback.status, PlaybackStatus::paused);
  EXPECT_EQ(store().state().revision, revision);

  report(PlayerEngine::StatusChanged{PlaybackStatus::playing});
  EXPECT_EQ(store().playbackError(), std::nullopt);
}

TEST_F(SessionStorePlayerTest, ASongThatPlaysAfterAFailedStartClearsTheError) {
  store().add(song("s1"));
  systemPlayer.failNextPrepare(MusicPlayerError{"kovaliapp.player", 3, std::nullopt, "Connection refused"});
  dispatch(action::Play{});
  settlePlayer();
  ASSERT_EQ(store().state().playback.status, PlaybackStatus::paused);
  ASSERT_TRUE(store().playbackError());

  dispatch(action::Play{});  // the sound server is back
  settlePlayer();
  ASSERT_EQ(systemPlayer.playbackStatus(), MusicPlayerStatus::playing);
  EXPECT_EQ(store().state().playback.status, PlaybackStatus::playing);
  EXPECT_EQ(store().playbackError(), std::nullopt) << "playing again clears the error";
}

TEST_F(SessionStorePlayerTest, AFailureWhilePlayingPausesTheParty) {
  store().add(song("s1"));
  dispatch(action::Play{});
  report(PlayerEngine::Failed{"The song stopped before it started."});
  EXPECT_EQ(store().state().playback.status, PlaybackStatus::paused);
  EXPECT_EQ(store().state().playback.elapsed, 0);
}

TEST_F(SessionStorePlayerTest, ACurrentSongTheCatalogueDoesNotKnowPausesThePartyAtZero) {
  dispatch(action::Add{vinaro::samples::track("ghost")});
  dispatch(action::Play{});
  ASSERT_EQ(store().state().playback.status, PlaybackStatus::playing);

  runPostedEvents();

  EXPECT_EQ(store().state().playback.status, PlaybackStatus::paused);
  EXPECT_EQ(store().state().playback.elapsed, 0);
  EXPECT_EQ(store().playbackError(), "Could not load \u201CTitle ghost\u201D from the music library.");
  EXPECT_TRUE(logged("could not resolve Title ghost (ghost) from the music library"));
}

}  // namespace
}  // namespace kovali

namespace kovali {
namespace {

const MusicPlayerError unreadable{musicPlayerErrorDomain, MusicPlayerErrorCode::unplayableFile, std::nullopt,
                                  "The file could not be opened."};

class SessionStoreUnplayableTest : public SessionStorePlayerTest {
 protected:
  void queueAll() {
    store().add(song("s1"));
    store().add(song("s2"));
    store().add(song("s3"));
  }
  std::string currentID() const {
    return store().state().playback.current ? store().state().playback.current->track.id : "none";
  }
};

TEST_F(SessionStoreUnplayableTest, AnUnreadableFirstSongIsSkippedAndThePartyPlaysOn) {
  queueAll();
  systemPlayer.failNextPrepare(unreadable);
  dispatch(action::Play{});
  settlePlayer();

  EXPECT_EQ(currentID(), "s2");
  EXPECT_EQ(store().state().playback.status, PlaybackStatus::playing);
  EXPECT_EQ(systemPlayer.playbackStatus(), MusicPlayerStatus::playing);
  EXPECT_TRUE(std::ranges::any_of(player.log(), [](const auto& l) { return l.text.starts_with("skipped Title s1"); }));
}

TEST_F(SessionStoreUnplayableTest, AnUnreadableNextSongIsSkippedWhenThePlayerReachesIt) {
  queueAll();
  dispatch(action::Play{});
  settlePlayer();
  ASSERT_EQ(currentID(), "s1");

  systemPlayer.reachUnplayable(1, unreadable);  // s1 ended; s2's file is gone
  advance(1);
  settlePlayer();

  EXPECT_EQ(currentID(), "s3");
  EXPECT_EQ(store().state().playback.status, PlaybackStatus::playing);
  EXPECT_EQ(systemPlayer.playbackStatus(), MusicPlayerStatus::playing);
  EXPECT_EQ(systemPlayer.currentEntry()->songID, "s3");
}

TEST_F(SessionStoreUnplayableTest, TwoUnreadableSongsInARowEndThePartyWhenNothingIsLeft) {
  store().add(song("s1"));
  store().add(song("s2"));
  systemPlayer.failNextPrepare(unreadable);
  systemPlayer.failNextPrepare(unreadable);
  dispatch(action::Play{});
  settlePlayer();
  settlePlayer();

  EXPECT_EQ(currentID(), "none");
  EXPECT_TRUE(store().state().queue.empty());
  EXPECT_NE(store().state().playback.status, PlaybackStatus::playing);
}

}  // namespace
}  // namespace kovali
