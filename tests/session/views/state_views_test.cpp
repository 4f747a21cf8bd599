#include "session/views/state_views.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <string>

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
const Participant zoe{"device-\"zoé\"", "Zoé 🎵", Role::guest};

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

SessionState withQueue(SessionState state, int songs) {
  for (int i = 1; i <= songs; ++i) state.queue.push_back(queueItem("q" + std::to_string(i), "t" + std::to_string(i)));
  return state;
}

/// Each of `guests` guests with a request answered, beside ana's pending one.
SessionState partyWithAnsweredGuests(int guests) {
  auto state = withQueue(partyWithPendingRequests(), 50);
  for (int i = 0; i < guests; ++i) {
    const Participant guest{"device-" + std::to_string(i), "Guest " + std::to_string(i), Role::guest};
    state.requests.push_back(request("a" + std::to_string(i), RequestItem::track(track("t" + std::to_string(i))),
                                     guest, 4000 + i, {}, i % 2 ? RequestStatus::approved : RequestStatus::rejected));
  }
  return state;
}

/// Titles and names the wire escapes, in the queue and in resolved requests.
SessionState partyWithEscapedText() {
  auto state = withQueue(SessionState::newParty("S\"1", "Fête \\ \"noël\"\n"), 3);
  state.queue[1].track.title = "Ça \"va\"\t\u0001 🎵 \xff";
  auto song = track("t\"9");
  song.title = "Ünïcode \"quoted\" \\ 日本語";
  state.requests = {request("r\"1", RequestItem::track(song), zoe, 1000, {"device-ana"}, RequestStatus::approved),
                    request("r2", RequestItem::track(track("t8")), ana, 2000, {zoe.id}),
                    request("r3", RequestItem::collection(album("al", "Album \"Ö\"")), ben, 3000, {},
                            RequestStatus::rejected)};
  return state;
}

/// What encoding the whole envelope of `participant`'s own view gives.
QString expectedMessage(const SessionState& state, const Participant& participant) {
  const vinaro::Envelope<vinaro::Event> envelope{.id = "ID", .replyTo = "R", .body = {state.visible(participant)}};
  return QString::fromStdString(vinaro::MessageCodec::encode(envelope));
}

TEST(StateViews, EachPhoneGetsItsOwnViewWhileEachDistinctViewIsEncodedOnce) {
  std::vector<Participant> answeredGuests;
  for (int i = 0; i < 100; ++i) answeredGuests.push_back({"device-" + std::to_string(i), "Guest", Role::guest});
  answeredGuests.push_back(cy);
  answeredGuests.push_back(dj);
  struct Case {
    const char* name;
    SessionState state;
    std::vector<Participant> phones;
    std::size_t distinctViews;
    /// How the state the views are cut from differs from the one they show, if at all: a view
    /// encoded afresh would not carry the difference.
    std::function<void(SessionState&)> encodedAs = [](SessionState&) {};
  } const cases[] = {
      {"nothing resolved: everyone shares the DJ's view", partyWithPendingRequests(), {dj, ana, ben, cy, ana}, 1},
      {"only DJs", partyWithResolvedRequests(), {dj, dj}, 1},
      {"guests without resolved requests share one view", partyWithResolvedRequests(), {cy, cy, dj}, 2},
      {"each guest with resolved requests has their own", partyWithResolvedRequests(), {dj, ana, ben, cy, ana, cy},
       4},
      {"no requests", withQueue(SessionState::newParty("S1", "Party"), 3), {dj, ana, cy}, 1},
      {"pending requests beside a queue", withQueue(partyWithPendingRequests(), 5), {ana, dj, cy}, 1},
      {"resolved requests, empty queue", partyWithResolvedRequests(), {ben, cy, ana, dj}, 4},
      {"resolved requests, big queue", withQueue(partyWithResolvedRequests(), 2000), {ana, cy, dj, ben}, 4},
      {"only resolved requests", [] {
         auto state = partyWithResolvedRequests();
         state.requests.erase(state.requests.begin());
         return state;
       }(), {ana, ben, cy, dj}, 4},
      {"escaped and unicode text", partyWithEscapedText(), {zoe, ana, ben, cy, dj}, 4},
      {"a hundred guests answered", partyWithAnsweredGuests(100), answeredGuests, 102},
      {"a hundred guests' views cut from the one encoding of the party", partyWithAnsweredGuests(100), answeredGuests,
       102, [](SessionState& s) { s.name = "Encoded once"; }},
  };
  for (const auto& c : cases) {
    SessionState encoded = c.state;
    c.encodedAs(encoded);
    const auto party = PartyEncoder().encode(encoded);
    StateViews views(c.state, party);
    for (const auto& phone : c.phones) {
      const auto& view = views.viewFor(phone);
      ASSERT_TRUE(view) << c.name;
      EXPECT_EQ(view->message("ID", "R"), expectedMessage(encoded, phone)) << c.name << ", " << phone.name;
      // Up to the requests, every view is the party's one encoding, held once.
      EXPECT_EQ(view->payload().constData(), party->everything.payload().constData()) << c.name << ", " << phone.name;
    }
    EXPECT_EQ(views.encodedCount(), c.distinctViews) << c.name;
  }
}

TEST(StateViews, AStateThatCannotBeEncodedGivesNoView) {
  auto state = partyWithPendingRequests();
  state.playback.elapsed = std::numeric_limits<double>::quiet_NaN();
  const auto party = PartyEncoder().encode(state);
  StateViews views(state, party);
  EXPECT_FALSE(views.viewFor(ana));
}

}  // namespace
}  // namespace kovali
