#include <gtest/gtest.h>

#include <limits>

#include "model/session_reducer.h"
#include "reducer_fixture.h"
#include "support/sample_values.h"

namespace vinaro {
namespace {

using samples::ana;
using samples::ben;

std::vector<std::string> ids(const std::vector<SongRequest>& requests) {
  std::vector<std::string> result;
  for (const auto& request : requests) result.push_back(request.id);
  return result;
}

TEST(RequestOrder, PendingByVotesThenAgeThenPreviousOrderAndResolvedLast) {
  const auto song = RequestItem::track(samples::track("t"));
  const std::vector<SongRequest> requests = {
      samples::request("approved5", song, ana, 1, {"a", "b", "c", "d", "e"}, RequestStatus::approved),
      samples::request("one", song, ana, 1, {"a"}),
      samples::request("threeLate", song, ana, 9, {"a", "b", "c"}),
      samples::request("threeEarly", song, ana, 5, {"a", "b", "c"}),
      samples::request("rejected", song, ana, 0, {}, RequestStatus::rejected),
      samples::request("zero", song, ana, 0, {}),
      samples::request("threeEarlyTwin", song, ana, 5, {"x", "y", "z"}),
  };
  EXPECT_EQ(ids(SessionReducer::orderedRequests(requests)),
            (std::vector<std::string>{"threeEarly", "threeEarlyTwin", "threeLate", "one", "zero", "approved5", "rejected"}));
}

TEST(SessionStateQueries, DuplicatesAndPerGuestFigures) {
  SessionState state = SessionState::newParty("S", "Party");
  state.playback.current = samples::queueItem("now", "playing");
  state.queue = {samples::queueItem("q1", "a", ana), samples::queueItem("q2", "b", ben), samples::queueItem("q3", "c", ana)};
  state.requests = {samples::request("r1", RequestItem::track(samples::track("x")), ana, 1, {}),
                    samples::request("r2", RequestItem::collection(samples::album("al")), ana, 2, {}),
                    samples::request("r3", RequestItem::track(samples::track("y")), ana, 3, {}, RequestStatus::approved)};

  EXPECT_TRUE(state.contains("playing"));
  EXPECT_TRUE(state.contains("b"));
  EXPECT_FALSE(state.contains("x"));
  EXPECT_EQ(state.queueItems(ana.id).size(), 2u);
  EXPECT_EQ(ids(state.pendingRequests(ana.id)), (std::vector<std::string>{"r1", "r2"}));
  EXPECT_TRUE(state.hasPendingRequest("x"));
  EXPECT_FALSE(state.hasPendingRequest("y")) << "approved requests are not pending";
  EXPECT_TRUE(state.hasPendingRequest(RequestItem::collection(samples::album("al"))));
  PlaylistRef sameIDOtherSource = samples::album("al");
  sameIDOtherSource.source = PlaylistRef::Source::catalog;
  EXPECT_FALSE(state.hasPendingRequest(RequestItem::collection(sameIDOtherSource)));

  state.settings.allowDuplicates = true;
  EXPECT_TRUE(state.allowsDuplicates());
  state.mode = PartyMode::suggestion;
  EXPECT_FALSE(state.allowsDuplicates()) << "never in suggestion mode";
}

TEST(SessionStateQueries, BadgeLookup) {
  SessionState state = SessionState::newParty("S", "Party");
  EXPECT_EQ(state.badge("a"), std::nullopt);
  state.badges = std::map<std::string, std::string>{{"a", "vip"}, {"b", "platinum"}};
  EXPECT_EQ(state.badge("a"), SupporterTier::vip);
  EXPECT_EQ(state.badge("b"), std::nullopt) << "not a tier";
  EXPECT_EQ(state.badge("c"), std::nullopt) << "no entry";
}

TEST(SessionStateQueries, DelayedOutputsNote) {
  struct Case {
    std::optional<std::vector<std::string>> names;
    std::optional<std::string> expected;
  } cases[] = {
      {std::nullopt, std::nullopt},
      {std::vector<std::string>{}, std::nullopt},
      {std::vector<std::string>{"Kitchen"}, "Kitchen speakers follow a few seconds later."},
      {std::vector<std::string>{"Kitchen", "Patio"}, "Kitchen and Patio speakers follow a few seconds later."},
      {std::vector<std::string>{"A", "B", "C"}, "A, B and C speakers follow a few seconds later."},
  };
  for (const auto& c : cases) {
    SessionState state = SessionState::newParty("S", "Party");
    state.delayedOutputs = c.names;
    EXPECT_EQ(state.delayedOutputsNote(), c.expected) << c.expected.value_or("(none)");
  }
}

TEST(SessionStateQueries, AutoPlayCandidate) {
  SessionState state = SessionState::newParty("S", "Party");
  state.mode = PartyMode::suggestion;
  state.settings.autoPlaysTopRequest = true;
  state.playback.current = samples::queueItem("now", "playing");
  state.requests = SessionReducer::orderedRequests({
      samples::request("forNowPlaying", RequestItem::track(samples::track("playing")), ana, 1, {"a", "b", "c"}),
      samples::request("top", RequestItem::track(samples::track("t")), ana, 2, {"a", "b"}),
      samples::request("album", RequestItem::collection(samples::album("al")), ben, 3, {"a"}),
      samples::request("resolved", RequestItem::track(samples::track("r")), ben, 0, {"a", "b", "c", "d"},
                       RequestStatus::approved),
  });

  EXPECT_EQ(state.autoPlayCandidate({})->id, "top") << "the request for the playing song is passed over";
  EXPECT_EQ(state.autoPlayCandidate({"top"})->id, "album") << "a collection is a candidate";
  EXPECT_EQ(state.autoPlayCandidate({"top", "album"}), std::nullopt);

  SessionState queued = state;
  queued.queue = {samples::queueItem("q", "x")};
  EXPECT_EQ(queued.autoPlayCandidate({}), std::nullopt) << "only when the queue is empty";
  SessionState collaboration = state;
  collaboration.mode = PartyMode::collaboration;
  EXPECT_EQ(collaboration.autoPlayCandidate({}), std::nullopt);
  SessionState off = state;
  off.settings.autoPlaysTopRequest = false;
  EXPECT_EQ(off.autoPlayCandidate({}), std::nullopt);
}

TEST(SessionStateQueries, GuestsSeeOnlyTheirOwnResolvedRequests) {
  SessionState state = SessionState::newParty("S", "Party");
  const auto song = RequestItem::track(samples::track("t"));
  state.requests = {samples::request("bensPending", song, ben, 1, {}),
                    samples::request("bensRejected", song, ben, 2, {}, RequestStatus::rejected),
                    samples::request("anasApproved", song, ana, 3, {}, RequestStatus::approved)};
  EXPECT_EQ(ids(state.visible(ana).requests), (std::vector<std::string>{"bensPending", "anasApproved"}));
  EXPECT_EQ(state.visible(samples::dj), state);
  SessionState withoutRequests = state.visible(ana);
  withoutRequests.requests = state.requests;
  EXPECT_EQ(withoutRequests, state) << "nothing but requests is filtered";
}

TEST(SessionStateQueries, RestoredAfterRelaunch) {
  SessionState saved = SessionState::newParty("S", "Old name");
  saved.revision = 41;
  saved.playback = {PlaybackStatus::playing, samples::queueItem("E", "e"), 30, Date{5000}};
  saved.queue = {samples::queueItem("F", "f")};
  saved.participantCount = 3;
  saved.partygoers = std::vector<Participant>{ana};
  saved.input = LiveInput{"mic", "Mic", true};
  saved.badges = std::map<std::string, std::string>{{"a", "gold"}};

  const SessionState restored = saved.restored("New name", Date{9000});
  EXPECT_EQ(restored.name, "New name");
  EXPECT_EQ(restored.revision, 42);
  ASSERT_EQ(restored.queue.size(), 2u);
  EXPECT_EQ(restored.queue[0].id, "E");
  EXPECT_EQ(restored.queue[1].id, "F");
  EXPECT_EQ(restored.playback, (PlaybackState{PlaybackStatus::stopped, std::nullopt, 0, Date{9000}}));
  EXPECT_EQ(restored.participantCount, 0);
  EXPECT_EQ(restored.partygoers, std::nullopt);
  EXPECT_EQ(restored.input, (LiveInput{"mic", "Mic", false}));
  EXPECT_EQ(restored.badges, saved.badges);
  EXPECT_EQ(restored.sessionID, "S");
}

TEST(SessionStateQueries, MappingParticipantIDsReachesEveryPlaceAnIDLivesButTheHost) {
  SessionState state = SessionState::newParty("S", "Party");
  QueueItem playing = samples::queueItem("E", "e");
  playing.addedBy = ana;
  state.playback.current = playing;
  QueueItem byHost = samples::queueItem("F", "f");
  byHost.addedBy = Participant::host("Host");
  QueueItem byBen = samples::queueItem("G", "g");
  byBen.addedBy = ben;
  state.queue = {byHost, byBen};
  state.requests = {samples::request("r", RequestItem::track(samples::track("t")), ana, 1, {ana.id, ben.id})};
  state.badges = std::map<std::string, std::string>{{ana.id, "gold"}, {ben.id, "vip"}};
  state.partygoers = std::vector<Participant>{ana, ben};

  const SessionState mapped = state.mappingParticipantIDs([](const std::string& id) { return "public-" + id; });

  const std::string anaID = "public-" + ana.id;
  const std::string benID = "public-" + ben.id;
  EXPECT_EQ(mapped.playback.current->addedBy.id, anaID);
  EXPECT_EQ(mapped.queue[0].addedBy.id, "host");
  EXPECT_EQ(mapped.queue[1].addedBy.id, benID);
  EXPECT_EQ(mapped.requests[0].requestedBy.id, anaID);
  EXPECT_EQ(mapped.requests[0].votes, (std::vector<std::string>{anaID, benID}));
  EXPECT_EQ(mapped.badges, (std::map<std::string, std::string>{{anaID, "gold"}, {benID, "vip"}}));
  EXPECT_EQ((*mapped.partygoers)[1], (Participant{benID, ben.name, ben.role}));
  SessionState unmapped = mapped.mappingParticipantIDs([](const std::string& id) { return id.substr(7); });
  EXPECT_EQ(unmapped, state) << "nothing else changes";
}

TEST(SessionStateQueries, TheRevisionStepStopsAtTheLargestNumber) {
  constexpr auto largest = std::numeric_limits<std::int64_t>::max();
  EXPECT_EQ(SessionState::nextRevision(41), 42);
  EXPECT_EQ(SessionState::nextRevision(largest - 1), largest);
  EXPECT_EQ(SessionState::nextRevision(largest), largest);

  SessionState state = SessionState::newParty("S", "Party");
  state.revision = largest;
  auto context = testing::fixedContext();
  const auto next = SessionReducer::reduce(state, action::SetMode{PartyMode::suggestion}, Actor::host(), context);
  ASSERT_TRUE(next);
  EXPECT_EQ(next->revision, largest);
  EXPECT_EQ(state.restored("Party", Date{0}).revision, largest);
}

TEST(SessionStateQueries, ANewPartyStartsStoppedAtTimeZero) {
  const SessionState state = SessionState::newParty("S", "Party");
  EXPECT_EQ(state.revision, 0);
  EXPECT_EQ(state.mode, PartyMode::collaboration);
  EXPECT_EQ(state.settings, (SessionSettings{false, 3, false, false, 3, false}));
  EXPECT_EQ(state.playback, (PlaybackState{PlaybackStatus::stopped, std::nullopt, 0, Date{0}}));
  EXPECT_EQ(wire::encode(state),
            R"({"mode":"collaboration","name":"Party","participantCount":0,)"
            R"("playback":{"elapsed":0,"elapsedAt":0,"status":"stopped"},"queue":[],"requests":[],"revision":0,)"
            R"("sessionID":"S","settings":{"allowDuplicates":false,"autoPlaysTopRequest":false,"limitsPerGuest":false,)"
            R"("limitsRequestsPerGuest":false,"maxPendingPerGuest":3,"maxRequestsPerGuest":3,"roundRobinGuests":false}})");
}

}  // namespace
}  // namespace vinaro
