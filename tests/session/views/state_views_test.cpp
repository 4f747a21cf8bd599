#include "session/views/state_views.h"

#include <gtest/gtest.h>

#include <limits>

#include "protocol/message_codec.h"
#include "support/sample_values.h"

namespace kovali {
namespace {

using namespace vinaro::samples;
using vinaro::Participant;
using vinaro::RequestItem;
using vinaro::RequestStatus;
using vinaro::Role;
using vinaro::SessionState;

const Participant cy{"device-cy", "Cy", Role::guest};

SessionState partyWithPendingRequests() {
  auto state = SessionState::newParty("S1", "Party");
  state.requests = {request("r1", RequestItem::track(track("t7")), ana, 1000, {})};
  return state;
}

SessionState partyWithResolvedRequests() {
  auto state = partyWithPendingRequests();
  state.requests.push_back(request("r2", RequestItem::track(track("t8")), ana, 2000, {}, RequestStatus::approved));
  state.requests.push_back(request("r3", RequestItem::track(track("t9")), ben, 3000, {}, RequestStatus::rejected));
  return state;
}

/// What encoding the whole envelope of `participant`'s own view gives.
QString expectedMessage(const SessionState& state, const Participant& participant) {
  const vinaro::Envelope<vinaro::Event> envelope{.id = "ID", .replyTo = "R", .body = {state.visible(participant)}};
  return QString::fromStdString(vinaro::MessageCodec::encode(envelope));
}

TEST(StateViews, EachPhoneGetsItsOwnViewWhileEachDistinctViewIsEncodedOnce) {
  struct Case {
    const char* name;
    SessionState state;
    std::vector<Participant> phones;
    std::size_t distinctViews;
  } const cases[] = {
      {"nothing resolved: everyone shares the DJ's view", partyWithPendingRequests(), {dj, ana, ben, cy, ana}, 1},
      {"only DJs", partyWithResolvedRequests(), {dj, dj}, 1},
      {"guests without resolved requests share one view", partyWithResolvedRequests(), {cy, cy, dj}, 2},
      {"each guest with resolved requests has their own", partyWithResolvedRequests(), {dj, ana, ben, cy, ana, cy},
       4},
  };
  for (const auto& c : cases) {
    StateViews views(c.state);
    for (const auto& phone : c.phones) {
      const auto& view = views.viewFor(phone);
      ASSERT_TRUE(view) << c.name;
      EXPECT_EQ(view->message("ID", "R"), expectedMessage(c.state, phone)) << c.name << ", " << phone.name;
    }
    EXPECT_EQ(views.encodedCount(), c.distinctViews) << c.name;
  }
}

TEST(StateViews, AStateThatCannotBeEncodedGivesNoView) {
  auto state = partyWithPendingRequests();
  state.playback.elapsed = std::numeric_limits<double>::quiet_NaN();
  StateViews views(state);
  EXPECT_FALSE(views.viewFor(ana));
}

}  // namespace
}  // namespace kovali
