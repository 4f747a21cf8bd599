#include "reducer_fixture.h"

namespace vinaro::testing {
namespace {

using namespace action;

const Actor asAlice = Actor::participant(alice);
const Actor asBob = Actor::participant(bob);
const PlaylistRef blue = collection(PlaylistRef::Source::album, "7", "Blue");
const PlaylistRef mix = collection(PlaylistRef::Source::catalog, "9", "Mix");

std::vector<std::string> requestIDs(const SessionState& state) {
  std::vector<std::string> ids;
  for (const SongRequest& request : state.requests) ids.push_back(request.id);
  return ids;
}

std::vector<std::string> trackIDs(const std::vector<QueueItem>& queue) {
  std::vector<std::string> ids;
  for (const QueueItem& item : queue) ids.push_back(item.track.id);
  return ids;
}

TEST_F(ReducerTest, AGuestsAddInSuggestionModeBecomesARequestWithItsOwnVote) {
  SessionState state = party(PartyMode::suggestion);
  state.requests = {request("old", RequestItem::track(song("x")), bob, {})};
  const SessionState next = accept(state, Add{song("a")}, asAlice);
  EXPECT_TRUE(next.queue.empty());
  // One vote sorts it above the older request whose vote was withdrawn.
  ASSERT_EQ(requestIDs(next), (std::vector<std::string>{"id-1", "old"}));
  EXPECT_EQ(next.requests[0], (SongRequest{"id-1", RequestItem::track(song("a")), alice, kNow, RequestStatus::pending,
                                           std::nullopt, {"alice"}}));
  // A DJ's add goes straight into the queue.
  EXPECT_EQ(trackIDs(accept(state, Add{song("a")}, Actor::participant(dee)).queue), std::vector<std::string>{"a"});
}

TEST_F(ReducerTest, SuggestingIsRefusedAtTheLimitAndForDuplicates) {
  SessionState state = party(PartyMode::suggestion);
  state.settings.limitsRequestsPerGuest = true;
  state.settings.maxRequestsPerGuest = 2;
  state.settings.allowDuplicates = true;  // no part in suggestion mode
  state.playback.current = queued(song("playing"));
  state.queue = {queued(song("queued"))};
  state.requests = {request("r1", RequestItem::track(song("asked")), bob, {"bob"}),
                    request("r2", RequestItem::collection(blue), bob, {"bob"}),
                    request("r3", RequestItem::collection(mix), alice, {"alice"})};
  SongRequest resolved = request("r4", RequestItem::track(song("done")), alice, {"alice"});
  resolved.status = RequestStatus::rejected;
  resolved.resolvedAt = kNow;
  state.requests.push_back(resolved);

  const ProtocolError alreadyQueued = ProtocolError::duplicate("That song is already in the queue.");
  struct Case {
    const char* name;
    SessionAction action;
    Actor actor;
    std::optional<ProtocolError> refusal;
  } cases[] = {
      {"song and collection requests count together", Add{song("new")}, asBob,
       ProtocolError::limitReached("You can have at most 2 pending requests at a time.")},
      {"a collection at the limit", Suggest{mix}, asBob,
       ProtocolError::limitReached("You can have at most 2 pending requests at a time.")},
      {"resolved requests do not count", Add{song("new")}, asAlice, std::nullopt},
      {"the playing song", Add{song("playing")}, asAlice, alreadyQueued},
      {"a queued song", Add{song("queued")}, asAlice, alreadyQueued},
      {"a pending song", Add{song("asked")}, asAlice,
       ProtocolError::duplicate("That song has already been suggested.")},
      {"a rejected song may be asked again", Add{song("done")}, asAlice, std::nullopt},
      {"a pending album", Suggest{blue}, asAlice, ProtocolError::duplicate("That album has already been suggested.")},
      {"a pending playlist", Suggest{mix}, Actor::participant(Participant{"cy", "Cy", Role::guest}),
       ProtocolError::duplicate("That playlist has already been suggested.")},
      {"the same id from another source", Suggest{collection(PlaylistRef::Source::library, "9", "Mix")}, asAlice,
       std::nullopt},
      {"a DJ suggesting", Suggest{collection(PlaylistRef::Source::library, "5", "Five")}, Actor::participant(dee),
       ProtocolError::badRequest("DJs load albums and playlists directly.")},
      {"the host suggesting", Suggest{collection(PlaylistRef::Source::library, "5", "Five")}, Actor::host(),
       ProtocolError::badRequest("DJs load albums and playlists directly.")},
      {"a guest at the limit may still vote", Vote{"r3", true}, asBob, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.refusal) {
      EXPECT_EQ(refuse(state, c.action, c.actor), *c.refusal);
    } else {
      accept(state, c.action, c.actor);
    }
  }

  state.mode = PartyMode::collaboration;
  EXPECT_EQ(refuse(state, Suggest{collection(PlaylistRef::Source::library, "5", "Five")}, asAlice),
            ProtocolError::badRequest("Whole albums and playlists can only be suggested in suggestion mode."));
}

TEST_F(ReducerTest, VotesCountOncePerVoterAndReorderTheRequests) {
  SessionState state = party(PartyMode::suggestion);
  state.requests = {request("a", RequestItem::track(song("a")), alice, {"alice", "bob"}, kNow.addingSeconds(-20)),
                    request("b", RequestItem::track(song("b")), bob, {"bob"}, kNow.addingSeconds(-30))};

  state = accept(state, Vote{"b", true});  // the host votes as "host"
  EXPECT_EQ(requestIDs(state), (std::vector<std::string>{"b", "a"}));  // two each: the earlier first
  EXPECT_EQ(state.requests[0].votes, (std::vector<std::string>{"bob", "host"}));

  state = accept(state, Vote{"b", true});
  EXPECT_EQ(state.requests[0].votes.size(), 2u);
  state = accept(state, Vote{"b", false}, asBob);  // the requester withdraws
  EXPECT_EQ(requestIDs(state), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(state.requests[1].votes, std::vector<std::string>{"host"});

  EXPECT_EQ(refuse(state, Vote{"zzz", true}, asAlice), ProtocolError::notFound("No request with id zzz."));
  state = accept(state, RejectRequest{"a"});
  EXPECT_EQ(requestIDs(state), (std::vector<std::string>{"b", "a"}));  // resolved ones last
  EXPECT_EQ(refuse(state, Vote{"a", true}, asAlice), ProtocolError::badRequest("Request is already rejected."));
}

TEST_F(ReducerTest, ApprovingASongQueuesItForTheGuestWhoAsked) {
  SessionState state = party(PartyMode::suggestion);
  state.queue = {queued(song("a")), queued(song("b"))};
  state.requests = {request("r", RequestItem::track(song("x")), bob, {"bob"}),
                    request("c", RequestItem::collection(blue), bob, {"bob"})};
  struct Case {
    QueuePosition position;
    std::vector<std::string> queue;
    std::size_t newIndex;
  } cases[] = {{QueuePosition::next, {"x", "a", "b"}, 0}, {QueuePosition::end, {"a", "b", "x"}, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(rawValue(c.position));
    context = fixedContext();
    const SessionState next = accept(state, ApproveRequest{"r", c.position}, Actor::participant(dee));
    EXPECT_EQ(trackIDs(next.queue), c.queue);
    EXPECT_EQ(next.queue[c.newIndex], (QueueItem{"id-1", song("x"), bob, kNow}));
    EXPECT_EQ(next.requests.back().status, RequestStatus::approved);
    EXPECT_EQ(next.requests.back().resolvedAt, kNow);
    EXPECT_EQ(next.playback, state.playback);
    EXPECT_EQ(refuse(next, ApproveRequest{"r", c.position}), ProtocolError::badRequest("Request is already approved."));
  }
  EXPECT_EQ(refuse(state, ApproveRequest{"c", QueuePosition::end}),
            ProtocolError::badRequest("This request is for an album or playlist; resolve its tracks first."));
  EXPECT_EQ(refuse(state, ApproveRequest{"r", QueuePosition::end}, asBob),
            ProtocolError::forbidden("Only the DJ can do that."));

  state.queue.push_back(queued(song("x")));
  EXPECT_EQ(refuse(state, ApproveRequest{"r", QueuePosition::end}),
            ProtocolError::duplicate("That song is already in the queue."));
  // Requests left over from suggestion mode may be approved, with duplicates, in collaboration mode.
  state.mode = PartyMode::collaboration;
  state.settings.allowDuplicates = true;
  EXPECT_EQ(accept(state, ApproveRequest{"r", QueuePosition::end}).queue.size(), 4u);
}

TEST_F(ReducerTest, ApprovingACollectionQueuesOnlyItsNewSongsInOrder) {
  SessionState state = party(PartyMode::suggestion);
  state.playback.current = queued(song("now"));
  state.queue = {queued(song("a"))};
  state.requests = {request("c", RequestItem::collection(blue), bob, {"bob"}),
                    request("r", RequestItem::track(song("x")), bob, {"bob"})};

  const std::vector<Track> tracks = {song("p"), song("now"), song("q"), song("a"), song("p")};
  const SessionState next = accept(state, ApproveCollectionRequest{"c", tracks, QueuePosition::next});
  EXPECT_EQ(trackIDs(next.queue), (std::vector<std::string>{"p", "q", "a"}));
  EXPECT_EQ(next.queue[1], (QueueItem{"id-2", song("q"), bob, kNow}));
  EXPECT_EQ(next.requests.back().status, RequestStatus::approved);

  EXPECT_EQ(trackIDs(accept(state, ApproveCollectionRequest{"c", {song("p")}, QueuePosition::end}).queue),
            (std::vector<std::string>{"a", "p"}));
  EXPECT_EQ(refuse(state, ApproveCollectionRequest{"c", {song("now"), song("a")}, QueuePosition::end}),
            ProtocolError::notFound("Blue has no songs that are not already queued."));
  EXPECT_EQ(refuse(state, ApproveCollectionRequest{"r", {song("p")}, QueuePosition::end}),
            ProtocolError::badRequest("This request is for a single song."));
}

TEST_F(ReducerTest, RejectingResolvesTheRequestAndFreesTheGuestsSlot) {
  SessionState state = party(PartyMode::suggestion);
  state.settings.limitsRequestsPerGuest = true;
  state.settings.maxRequestsPerGuest = 1;
  state.queue = {queued(song("a"))};
  state = accept(state, Add{song("x")}, asAlice);
  EXPECT_EQ(refuse(state, Suggest{mix}, asAlice).code, ProtocolError::Code::limitReached);

  state = accept(state, RejectRequest{"id-1"}, Actor::participant(dee));
  EXPECT_EQ(state.requests[0].status, RequestStatus::rejected);
  EXPECT_EQ(state.requests[0].resolvedAt, kNow);
  EXPECT_EQ(trackIDs(state.queue), std::vector<std::string>{"a"});
  EXPECT_EQ(refuse(state, RejectRequest{"id-1"}), ProtocolError::badRequest("Request is already rejected."));
  EXPECT_EQ(requestIDs(accept(state, Suggest{mix}, asAlice)), (std::vector<std::string>{"id-2", "id-1"}));
}

TEST_F(ReducerTest, PrunesRequestsResolvedAtLeastTheLifetimeAgo) {
  SessionState state = party(PartyMode::suggestion);
  const auto resolvedAgo = [](const std::string& id, double seconds) {
    SongRequest resolved = request(id, RequestItem::track(song(id)), bob, {"bob"}, kNow.addingSeconds(-7200));
    resolved.status = RequestStatus::approved;
    resolved.resolvedAt = kNow.addingSeconds(-seconds);
    return resolved;
  };
  state.requests = {request("pending", RequestItem::track(song("p")), bob, {}, kNow.addingSeconds(-7200)),
                    resolvedAgo("exactly", SessionReducer::resolvedRequestLifetime), resolvedAgo("almost", 599.9),
                    resolvedAgo("long", 3600), resolvedAgo("future", -10)};
  EXPECT_EQ(requestIDs(accept(state, PruneResolvedRequests{})),
            (std::vector<std::string>{"pending", "almost", "future"}));
  EXPECT_EQ(refuse(state, PruneResolvedRequests{}, Actor::participant(dee)),
            ProtocolError::forbidden("Host-only action."));
}

}  // namespace
}  // namespace vinaro::testing
