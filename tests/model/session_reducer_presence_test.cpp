#include "reducer_fixture.h"

namespace vinaro::testing {
namespace {

using namespace action;
using Badges = std::map<std::string, std::string>;

TEST_F(ReducerTest, BadgesAreSetReplacedAndRemovedPerParticipant) {
  const Actor asAlice = Actor::participant(alice);
  SessionState state = accept(party(), SetBadge{std::nullopt}, asAlice);
  EXPECT_EQ(state.badges, std::nullopt);

  state = accept(state, SetBadge{"gold"}, asAlice);
  state = accept(state, SetBadge{"vip"}, Actor::participant(bob));
  state = accept(state, SetBadge{"regular"}, asAlice);
  EXPECT_EQ(state.badges, (Badges{{"alice", "regular"}, {"bob", "vip"}}));

  EXPECT_EQ(refuse(state, SetBadge{"platinum"}, asAlice), ProtocolError::badRequest("Unknown badge."));
  EXPECT_EQ(refuse(state, SetBadge{"Gold"}, asAlice), ProtocolError::badRequest("Unknown badge."));

  state = accept(state, SetBadge{std::nullopt}, asAlice);
  EXPECT_EQ(state.badges, (Badges{{"bob", "vip"}}));
  state = accept(state, SetBadge{std::nullopt}, Actor::participant(bob));
  EXPECT_EQ(state.badges, std::nullopt);
}

TEST_F(ReducerTest, DroppedBadgesGoAndTheMapIsAbsentOnceEmpty) {
  SessionState state = party();
  state.badges = Badges{{"alice", "gold"}, {"bob", "vip"}};
  EXPECT_EQ(accept(state, DropBadges{{"alice", "nobody"}}).badges, (Badges{{"bob", "vip"}}));
  EXPECT_EQ(accept(state, DropBadges{{"bob", "alice"}}).badges, std::nullopt);
  EXPECT_EQ(accept(party(), DropBadges{{"alice"}}).badges, std::nullopt);
}

TEST_F(ReducerTest, PresenceFiguresNeverStoreANegativeCountOrAnEmptyOutputList) {
  EXPECT_EQ(accept(party(), SetParticipantCount{-4}).participantCount, 0);
  EXPECT_EQ(accept(party(), SetParticipantCount{3}).participantCount, 3);

  SessionState state = party();
  state.participantCount = 5;
  const SessionState nobody = accept(state, SetPartygoers{{}});
  EXPECT_EQ(nobody.partygoers, std::vector<Participant>{});
  EXPECT_EQ(nobody.participantCount, 0);
  EXPECT_EQ(accept(state, SetPartygoers{{alice, bob}}).participantCount, 2);

  state.delayedOutputs = std::vector<std::string>{"Kitchen"};
  EXPECT_EQ(accept(state, SetDelayedOutputs{{}}).delayedOutputs, std::nullopt);
  EXPECT_EQ(accept(state, SetDelayedOutputs{{"Patio"}}).delayedOutputs, std::vector<std::string>{"Patio"});
}

}  // namespace
}  // namespace vinaro::testing
