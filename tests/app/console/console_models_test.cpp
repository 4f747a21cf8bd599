#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <vector>

#include "app/console/queue/guests_sheet_model.h"
#include "app/console/queue/queue_column_model.h"
#include "app/console/requests/requests_column_model.h"
#include "support/sample_values.h"

namespace kovali {
namespace {

using vinaro::PlaybackStatus;
using vinaro::SessionState;
namespace samples = vinaro::samples;

SessionState party() { return SessionState::newParty("7F3C2A10-0000-4000-8000-00000000A11C", "Friday"); }

ConsoleSnapshot healthy(SessionState state = party()) {
  ConsoleSnapshot snapshot;
  snapshot.state = std::make_shared<const SessionState>(std::move(state));
  snapshot.availability = MusicService::Ready{};
  snapshot.serverStatus = HostServerStatus::ready(4242);
  return snapshot;
}

TEST(ConsoleStatus, ASaveProblemComesAfterThePlayerAndBeforeTheServer) {
  ConsoleSnapshot snapshot = healthy();
  snapshot.saveProblem = "No space left on device";
  snapshot.serverStatus = HostServerStatus::failed("No port.");
  EXPECT_EQ(ConsoleStatus::of(snapshot), (ConsoleStatus{"Can't save the party: No space left on device", false}));
  snapshot.playbackError = "It broke.";
  EXPECT_EQ(ConsoleStatus::of(snapshot).text, "Can't play: It broke.");
}

TEST(ConsoleStatus, FollowsTheMusicThenThePlayerThenTheServerThenPlayback) {
  struct Case {
    const char* name;
    MusicService::Availability availability;
    std::optional<std::string> playbackError;
    HostServerStatus server;
    PlaybackStatus playback;
    std::string text;
    bool healthy;
  } cases[] = {
      {"idle", MusicService::Ready{}, {}, HostServerStatus::ready(1), PlaybackStatus::stopped, "Idle", true},
      {"playing", MusicService::Ready{}, {}, HostServerStatus::ready(1), PlaybackStatus::playing, "Playing", true},
      {"paused", MusicService::Ready{}, {}, HostServerStatus::ready(1), PlaybackStatus::paused, "Paused", true},
      {"player error wins over the network", MusicService::Ready{}, "It broke.", HostServerStatus::failed("No port."),
       PlaybackStatus::playing, "Can't play: It broke.", false},
      {"network error",
       MusicService::Ready{},
       {},
       HostServerStatus::failed("No port. Retrying automatically."),
       PlaybackStatus::stopped,
       "Network error: No port. Retrying automatically.",
       false},
      {"server starting",
       MusicService::Ready{},
       {},
       HostServerStatus::starting(),
       PlaybackStatus::playing,
       "Starting the party\u2026",
       false},
      {"server stopped",
       MusicService::Ready{},
       {},
       HostServerStatus::stopped(),
       PlaybackStatus::stopped,
       "Starting the party\u2026",
       false},
      {"unknown music", MusicService::Unknown{}, "ignored", HostServerStatus::ready(1), PlaybackStatus::playing,
       "Music library not opened", false},
      {"failed music",
       MusicService::Failed{"The music folder is missing."},
       {},
       HostServerStatus::ready(1),
       PlaybackStatus::stopped,
       "The music folder is missing.",
       false},
      {"denied",
       MusicService::Denied{MusicAuthorizationStatus::denied},
       {},
       HostServerStatus::ready(1),
       PlaybackStatus::stopped,
       "Music library access denied",
       false},
      {"authorizing",
       MusicService::Authorizing{},
       {},
       HostServerStatus::ready(1),
       PlaybackStatus::stopped,
       "Opening the music library\u2026",
       false},
      {"no subscription",
       MusicService::NoSubscription{},
       {},
       HostServerStatus::ready(1),
       PlaybackStatus::stopped,
       "The music library can't be played",
       false},
  };
  for (const Case& c : cases) {
    SessionState state = party();
    state.playback.status = c.playback;
    ConsoleSnapshot snapshot = healthy(std::move(state));
    snapshot.availability = c.availability;
    snapshot.playbackError = c.playbackError;
    snapshot.serverStatus = c.server;
    EXPECT_EQ(ConsoleStatus::of(snapshot), (ConsoleStatus{c.text, c.healthy})) << c.name;
  }
}

TEST(QueueColumnModel, CountsPartygoersButNeverTheHost) {
  for (const auto& [count, text] :
       std::vector<std::pair<std::size_t, std::string>>{{0, "0 partygoers"}, {1, "1 partygoer"}, {7, "7 partygoers"}}) {
    ConsoleSnapshot snapshot = healthy();
    snapshot.participants.assign(count, samples::ana);
    EXPECT_EQ(QueueColumnModel::make(snapshot).partygoers, text);
  }
}

TEST(QueueColumnModel, AnEmptyPartyInvitesToStartWithEverythingDisabled) {
  const auto model = QueueColumnModel::make(healthy());
  const auto& playback = std::get<QueuePlaybackModel>(model.nowPlaying);
  EXPECT_EQ(playback.title, "Nothing playing");
  EXPECT_EQ(playback.byline, (BylineModel{"Add a song or load a playlist to start", std::nullopt}));
  EXPECT_EQ(playback.track, std::nullopt);
  EXPECT_EQ(playback.transport, (TransportModel{false, false, false}));
  EXPECT_EQ(model.upNextTitle, "Up next \u00B7 0");
  EXPECT_FALSE(model.canClear);
  EXPECT_TRUE(model.rows.empty());
  EXPECT_EQ(model.errorLine, std::nullopt);
}

TEST(QueueColumnModel, ListsTheQueueWithPlacesBylinesAndBadgesAndOffersPlayNextBelowTheTop) {
  SessionState state = party();
  state.queue = {samples::queueItem("q1", "a", samples::ana), samples::queueItem("q2", "b", samples::ben),
                 samples::queueItem("q3", "c", samples::ana)};
  state.badges = std::map<std::string, std::string>{{samples::ana.id, "gold"}};
  ConsoleSnapshot snapshot = healthy(std::move(state));
  snapshot.lastHostError = vinaro::ProtocolError::notFound("No queue item with id q9.");
  const auto model = QueueColumnModel::make(snapshot);

  ASSERT_EQ(model.rows.size(), 3u);
  EXPECT_EQ(model.rows[0].position, "1");
  EXPECT_FALSE(model.rows[0].canPlayNext);
  EXPECT_TRUE(model.rows[2].canPlayNext);
  EXPECT_EQ(model.rows[1].byline, (BylineModel{"Artist b \u00B7 Ben", std::nullopt}));
  EXPECT_EQ(model.rows[2].byline, (BylineModel{"Artist c \u00B7 Ana", vinaro::SupporterTier::gold}));
  EXPECT_EQ(model.upNextTitle, "Up next \u00B7 3");
  EXPECT_TRUE(model.canClear);
  EXPECT_EQ(model.errorLine, "No queue item with id q9.");
  const auto& playback = std::get<QueuePlaybackModel>(model.nowPlaying);
  EXPECT_EQ(playback.transport, (TransportModel{false, true, false})) << "songs queued: play, but nothing to skip";
}

TEST(QueueColumnModel, RowsTakenFromAnEarlierSnapshotAreTheRowsMadeAfresh) {
  struct Case {
    const char* name;
    std::function<void(SessionState&)> change;
  };
  const std::vector<Case> cases = {
      {"the last song moved to the top",
       [](auto& state) { std::rotate(state.queue.begin(), state.queue.end() - 1, state.queue.end()); }},
      {"the top song moved far down",
       [](auto& state) { std::rotate(state.queue.begin(), state.queue.begin() + 1, state.queue.end()); }},
      {"two songs removed", [](auto& state) { state.queue.erase(state.queue.begin() + 1, state.queue.begin() + 3); }},
      {"a song added at the top",
       [](auto& state) { state.queue.insert(state.queue.begin(), samples::queueItem("q9", "z")); }},
      {"a song retitled", [](auto& state) { state.queue[2].track.title = "Retitled"; }},
      {"an artist of the same length", [](auto& state) { state.queue[2].track.artist = "Artist X"; }},
      {"a guest renamed", [](auto& state) { state.queue[0].addedBy.name = "Bea"; }},
      {"a badge given",
       [](auto& state) {
         state.badges = std::map<std::string, std::string>{{samples::ben.id, "gold"}};
       }},
      {"an item of another id in a row's place", [](auto& state) { state.queue[1].id = "q7"; }},
      {"the queue cleared", [](auto& state) { state.queue.clear(); }},
  };
  SessionState before = party();
  for (int number = 1; number <= 6; ++number) {
    const auto letter = std::string(1, static_cast<char>('a' + number));
    before.queue.push_back(
        samples::queueItem("q" + std::to_string(number), letter, number % 2 ? samples::ana : samples::ben));
  }
  for (const auto& test : cases) {
    SessionState after = before;
    test.change(after);
    const auto earlier = QueueColumnModel::make(healthy(before));
    EXPECT_EQ(QueueColumnModel::make(healthy(after), earlier.rows), QueueColumnModel::make(healthy(after)))
        << test.name;
  }
}

TEST(QueueColumnModel, TheCurrentSongNamesWhoAddedItAndALiveInputReplacesIt) {
  SessionState state = party();
  state.playback = {PlaybackStatus::playing, samples::queueItem("q0", "now", samples::ben), 0, {}};
  state.badges = std::map<std::string, std::string>{{samples::ben.id, "vip"}};
  auto model = QueueColumnModel::make(healthy(state));
  const auto& playback = std::get<QueuePlaybackModel>(model.nowPlaying);
  EXPECT_EQ(playback.title, "Title now");
  EXPECT_EQ(playback.byline, (BylineModel{"Artist now \u00B7 added by Ben", vinaro::SupporterTier::vip}));
  EXPECT_EQ(playback.transport, (TransportModel{true, true, true}));

  state.input = vinaro::LiveInput{"usb", "Turntable", true};
  model = QueueColumnModel::make(healthy(state));
  EXPECT_EQ(std::get<LiveInputModel>(model.nowPlaying),
            (LiveInputModel{"Turntable", std::string(vinaro::LiveInput::queueResumesNote)}));
}

TEST(QueueColumnModel, TheClearFlowCountsSongsInOnePhrase) {
  EXPECT_EQ(clearedNotice(1), "Cleared 1 song");
  EXPECT_EQ(clearedNotice(0), "Cleared 0 songs");
  EXPECT_EQ(clearedNotice(12), "Cleared 12 songs");
  const auto one = ClearConfirmation::forCount(1);
  EXPECT_EQ(one.title, "Clear the queue?");
  EXPECT_EQ(
      one.message,
      "This removes all 1 song under Up next. The song playing now keeps playing, and pending requests are kept.");
  EXPECT_EQ(one.confirmTitle, "Clear 1 song");
  EXPECT_EQ(ClearConfirmation::forCount(12).confirmTitle, "Clear 12 songs");
}

TEST(ReorderTarget, MapsTheDropRowToTheMovesIndex) {
  struct Case {
    std::set<std::size_t> dragged;
    std::size_t destination;
    std::optional<std::size_t> target;
  } cases[] = {
      {{0}, 3, 2},             // down: the row itself no longer counts
      {{4}, 1, 1},             // up
      {{2}, 2, std::nullopt},  // dropped before itself
      {{2}, 3, std::nullopt},  // dropped after itself
      {{}, 1, std::nullopt},
      {{5}, 0, std::nullopt},  // no longer in a queue of 5
      {{3, 1}, 4, 3},          // only the first dragged row moves
  };
  for (const Case& c : cases) {
    EXPECT_EQ(reorderTarget(c.dragged, c.destination, 5), c.target) << "destination " << c.destination;
  }
}

TEST(GuestsSheetModel, SortsByNameIgnoringCaseAndCountsOnlyQueuedSongs) {
  auto state = party();
  const vinaro::Participant bob{"device-bob", "bob", vinaro::Role::dj};
  const vinaro::Participant alice{"device-alice", "Alice", vinaro::Role::guest};
  state.queue = {samples::queueItem("q1", "a", bob), samples::queueItem("q2", "b", bob)};
  state.playback = {PlaybackStatus::playing, samples::queueItem("q0", "now", alice), 0, {}};
  const auto model = GuestsSheetModel::make({bob, alice}, state);

  EXPECT_EQ(model.title, "2 partygoers");
  ASSERT_EQ(model.rows.size(), 2u);
  EXPECT_EQ(model.rows[0], (GuestRowModel{"device-alice", "Alice", false, "0 queued", true}));
  EXPECT_EQ(model.rows[1], (GuestRowModel{"device-bob", "bob", true, "2 queued", false}));

  const auto alone = GuestsSheetModel::make({alice}, state);
  EXPECT_EQ(alone.title, "1 partygoer");
  EXPECT_FALSE(alone.rows.front().hasHairlineBelow);
  EXPECT_EQ(GuestsSheetModel::make({}, state).title, "0 partygoers");
}

TEST(RequestsColumnModel, ShowsTheModesHintOnlyWhileNothingIsPending) {
  auto state = party();
  state.mode = vinaro::PartyMode::suggestion;
  auto model = RequestsColumnModel::make(state);
  EXPECT_EQ(model.title, "Requests \u00B7 0");
  EXPECT_EQ(model.hint, "Partygoer suggestions will show up here.");
  EXPECT_EQ(model.resolvedTitle, std::nullopt);
  state.mode = vinaro::PartyMode::collaboration;
  EXPECT_EQ(RequestsColumnModel::make(state).hint, "Switch to Per requests to collect suggestions from partygoers.");

  state.requests = {samples::request("r1", vinaro::RequestItem::track(samples::track("a")), samples::ana, 1, {})};
  model = RequestsColumnModel::make(state);
  EXPECT_EQ(model.hint, std::nullopt);
  EXPECT_EQ(model.title, "Requests \u00B7 1");
}

TEST(RequestsColumnModel, CardsCarryVotesKindsAndBylinesInStateOrder) {
  auto state = party();
  auto playlist = samples::album("p1", "Summer");
  playlist.source = vinaro::PlaylistRef::Source::library;
  playlist.trackCount = 12;
  state.requests = {
      samples::request("r1", vinaro::RequestItem::track(samples::track("a")), samples::ana, 1, {"x"}),
      samples::request("r2", vinaro::RequestItem::collection(samples::album("al", "Blue")), samples::ben, 2, {}),
      samples::request("r3", vinaro::RequestItem::collection(playlist), samples::ben, 3, {"x", "y"}),
  };
  state.badges = std::map<std::string, std::string>{{samples::ana.id, "regular"}};
  const auto model = RequestsColumnModel::make(state);
  ASSERT_EQ(model.cards.size(), 3u);
  EXPECT_EQ(model.cards[0].votes, "1");
  EXPECT_EQ(model.cards[0].collectionSymbol, std::nullopt);
  EXPECT_EQ(model.cards[0].byline, (BylineModel{"Artist a \u00B7 Ana", vinaro::SupporterTier::regular}));
  EXPECT_TRUE(model.cards[0].track.has_value());
  EXPECT_EQ(model.cards[1].votes, "0");
  EXPECT_EQ(model.cards[1].collectionSymbol, Symbol::squareStack);
  EXPECT_EQ(model.cards[1].track, std::nullopt);
  EXPECT_EQ(model.cards[1].byline.text, "Album \u00B7 Ben");
  EXPECT_EQ(model.cards[2].collectionSymbol, Symbol::musicNoteList);
  EXPECT_EQ(model.cards[2].byline.text, "Playlist \u00B7 12 songs \u00B7 Ben");
}

TEST(RequestsColumnModel, NineResolvedRequestsCountNineAndListTheFirstSix) {
  auto state = party();
  for (int i = 0; i < 9; ++i) {
    const auto status = i % 2 == 0 ? vinaro::RequestStatus::approved : vinaro::RequestStatus::rejected;
    state.requests.push_back(samples::request("r" + std::to_string(i),
                                              vinaro::RequestItem::track(samples::track(std::to_string(i))),
                                              samples::ana, i, {}, status));
  }
  const auto model = RequestsColumnModel::make(state);
  EXPECT_EQ(model.resolvedTitle, "Recently resolved \u00B7 9");
  ASSERT_EQ(model.resolved.size(), 6u);
  EXPECT_EQ(model.resolved[0], (ResolvedRowModel{"r0", samples::track("0"), "Title 0", true, "Added"}));
  EXPECT_EQ(model.resolved[5].id, "r5");
  EXPECT_EQ(model.resolved[5].mark, "Rejected");
  EXPECT_TRUE(model.cards.empty());
}

}  // namespace
}  // namespace kovali
