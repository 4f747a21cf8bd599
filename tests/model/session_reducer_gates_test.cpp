#include "reducer_fixture.h"

namespace vinaro::testing {
namespace {

using namespace action;

const Actor guestActor = Actor::participant(alice);
const Actor djActor = Actor::participant(dee);

/// A party on which every action below succeeds for an actor its gate lets through.
SessionState busyParty() {
  SessionState state = party(PartyMode::suggestion);
  state.playback.current = queued(song("now"));
  state.playback.status = PlaybackStatus::playing;
  state.queue = {queued(song("a")), queued(song("b"))};
  state.requests = {request("r-song", RequestItem::track(song("x")), bob, {"bob"}),
                    request("r-album", RequestItem::collection(collection(PlaylistRef::Source::album, "7", "Blue")),
                            bob, {"bob"})};
  return state;
}

enum class Gate { none, dj, host, participant };

TEST_F(ReducerTest, EachActionPassesOnlyTheActorsItsGateAdmits) {
  struct Case {
    const char* name;
    SessionAction action;
    Gate gate;
  } cases[] = {
      {"add", Add{song("new")}, Gate::none},
      {"remove", Remove{"item-a"}, Gate::dj},
      {"move", Move{"item-a", 1}, Gate::dj},
      {"clearQueue", ClearQueue{}, Gate::dj},
      {"play", Play{}, Gate::dj},
      {"pause", Pause{}, Gate::dj},
      {"skip", Skip{}, Gate::dj},
      {"setMode", SetMode{PartyMode::collaboration}, Gate::dj},
      {"approveRequest", ApproveRequest{"r-song", QueuePosition::end}, Gate::dj},
      {"approveCollectionRequest", ApproveCollectionRequest{"r-album", {song("t1")}, QueuePosition::end}, Gate::dj},
      {"rejectRequest", RejectRequest{"r-song"}, Gate::dj},
      {"suggest", Suggest{collection(PlaylistRef::Source::catalog, "9", "Mix")}, Gate::none},
      {"vote", Vote{"r-song", true}, Gate::none},
      {"setBadge", SetBadge{"gold"}, Gate::participant},
      {"loadTracks", LoadTracks{{song("l1")}, false, std::nullopt}, Gate::dj},
      {"updateSettings", UpdateSettings{SessionSettings{}}, Gate::dj},
      {"playbackObserved", PlaybackObserved{PlaybackStatus::paused, 3}, Gate::host},
      {"trackEnded", TrackEnded{}, Gate::host},
      {"pruneResolvedRequests", PruneResolvedRequests{}, Gate::host},
      {"setParticipantCount", SetParticipantCount{2}, Gate::host},
      {"setPartygoers", SetPartygoers{{alice}}, Gate::host},
      {"setInput", SetInput{LiveInput{"in", "Line In", false}}, Gate::host},
      {"setDelayedOutputs", SetDelayedOutputs{{"Kitchen"}}, Gate::host},
      {"dropBadges", DropBadges{{"alice"}}, Gate::host},
  };
  const SessionState state = busyParty();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    for (const Actor* actor : {&guestActor, &djActor}) {
      auto result = SessionReducer::reduce(state, c.action, *actor, context);
      if (c.gate == Gate::host || (c.gate == Gate::dj && !actor->isDJ())) {
        ASSERT_FALSE(result);
        EXPECT_EQ(result.error(), ProtocolError::forbidden(c.gate == Gate::host ? "Host-only action."
                                                                                : "Only the DJ can do that."));
      } else if (!(std::holds_alternative<Suggest>(c.action) && actor->isDJ())) {  // DJs may not suggest
        EXPECT_TRUE(result) << (result ? "" : result.error().message);
      }
    }
    auto byHost = SessionReducer::reduce(state, c.action, Actor::host(), context);
    if (c.gate == Gate::participant) {
      ASSERT_FALSE(byHost);
      EXPECT_EQ(byHost.error(), ProtocolError::forbidden("Only a participant has a badge."));
    } else if (c.gate != Gate::none) {
      EXPECT_TRUE(byHost) << (byHost ? "" : byHost.error().message);
    }
  }
}

TEST_F(ReducerTest, RaisesTheRevisionByOneAlsoWhenNothingElseChanged) {
  SessionState idle = party();
  idle.requests = {request("r", RequestItem::track(song("x")), bob, {"alice"})};
  idle.queue = {queued(song("a"))};
  struct Case {
    const char* name;
    SessionAction action;
    Actor actor;
  } cases[] = {
      {"pause with nothing playing", Pause{}, Actor::host()},
      {"clearing an input that was not set", SetInput{std::nullopt}, Actor::host()},
      {"a vote already cast", Vote{"r", true}, guestActor},
      {"a withdrawal by someone who never voted", Vote{"r", false}, Actor::participant(bob)},
      {"the mode it already has", SetMode{PartyMode::collaboration}, djActor},
      {"loading only songs already queued", LoadTracks{{song("a")}, false, std::nullopt}, Actor::host()},
      {"pruning with nothing resolved", PruneResolvedRequests{}, Actor::host()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SessionState next = accept(idle, c.action, c.actor);
    next.revision = idle.revision;
    EXPECT_EQ(next, idle);
  }
}

TEST_F(ReducerTest, SameStateActionAndContextGiveTheSameResult) {
  const SessionState state = busyParty();
  const SessionAction action = LoadTracks{{song("l1"), song("l2")}, true, std::nullopt};
  ReducerContext first = fixedContext();
  ReducerContext second = fixedContext();
  EXPECT_EQ(SessionReducer::reduce(state, action, Actor::host(), first),
            SessionReducer::reduce(state, action, Actor::host(), second));
}

TEST_F(ReducerTest, PlayAndSkipAreRefusedWhileALiveInputIsTheSource) {
  SessionState state = busyParty();
  state.input = LiveInput{"in", "Line In", true};
  const ProtocolError blocked = ProtocolError::badRequest(
      "\u201CLine In\u201D is the source. Choose the music library as the source to play the queue.");
  EXPECT_EQ(refuse(state, Play{}), blocked);
  EXPECT_EQ(refuse(state, Skip{}, djActor), blocked);
  // The gate comes first.
  EXPECT_EQ(refuse(state, Play{}, guestActor), ProtocolError::forbidden("Only the DJ can do that."));
  EXPECT_EQ(accept(state, Pause{}).playback.status, PlaybackStatus::paused);
  EXPECT_EQ(accept(state, TrackEnded{}).playback.current->id, "item-a");
}

TEST(ActorTest, HostActsWithTheFixedHostRecordAndDJRights) {
  EXPECT_EQ(Actor::host().participant(), (Participant{"host", "Host", Role::dj}));
  EXPECT_TRUE(Actor::host().isDJ());
  EXPECT_FALSE(Actor::participant(alice).isDJ());
  EXPECT_TRUE(Actor::participant(dee).isDJ());
  // A phone that calls itself "host" is still not the host.
  EXPECT_NE(Actor::host(), Actor::participant(Participant{"host", "Host", Role::dj}));
}

TEST(ReducerContextTest, CurrentContextMakesDistinctUpperCaseUUIDs) {
  ReducerContext context = ReducerContext::current();
  const std::string first = context.makeID();
  EXPECT_EQ(first.size(), 36u);
  EXPECT_EQ(first.find_first_of("abcdef"), std::string::npos);
  EXPECT_NE(first, context.makeID());
}

}  // namespace
}  // namespace vinaro::testing
