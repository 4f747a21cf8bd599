#include "protocol/encoded_event.h"

#include <gtest/gtest.h>

#include <limits>

#include "protocol/message_codec.h"
#include "support/sample_values.h"

namespace vinaro {
namespace {

using namespace samples;

/// A party with a pending request and requests resolved for Ana and for Ben.
SessionState partyWithRequests() {
  auto state = SessionState::newParty("S1", "Party \"Night\" — Süd");
  state.partygoers = std::vector<Participant>{ana, ben, dj};
  state.queue = {queueItem("q1", "t1")};
  state.requests = {
      request("r1", RequestItem::track(track("t7")), ana, 1000, {"device-ben"}),
      request("r2", RequestItem::track(track("t8")), ana, 2000, {}, RequestStatus::approved),
      request("r3", RequestItem::collection(album("a1")), ben, 3000, {}, RequestStatus::rejected),
  };
  return state;
}

std::string wholeEnvelope(const Event& event, const std::string& id, const std::optional<std::string>& replyTo) {
  return MessageCodec::encode(Envelope<Event>{.id = id, .replyTo = replyTo, .body = event});
}

TEST(EncodedEvent, WrapsTheSharedPayloadInTheSameBytesAsTheWholeEnvelopeAlsoInAWelcome) {
  const auto state = partyWithRequests();
  struct Case {
    const char* name;
    SessionState view;
  } const cases[] = {
      {"the DJ's view", state.visible(dj)},
      {"a guest without resolved requests", state.visible(Participant{"device-cy", "Cy", Role::guest})},
      {"a guest with a resolved request", state.visible(ana)},
  };
  const std::optional<std::string> replies[] = {std::nullopt, "5C6D7E8F-9A0B", "quote\" and ünïcode"};
  for (const auto& c : cases) {
    const auto encoded = EncodedEvent::of(c.view);
    EXPECT_EQ(encoded.type(), "state") << c.name;
    const auto welcome = EncodedEvent::welcome("device-\"cy\"", Role::guest, encoded.payload());
    EXPECT_EQ(welcome.type(), "welcome") << c.name;
    for (const auto& replyTo : replies) {
      EXPECT_EQ(encoded.envelope("ID-1", replyTo), wholeEnvelope(Event{c.view}, "ID-1", replyTo))
          << c.name << ", replying to " << replyTo.value_or("nothing");
      EXPECT_EQ(welcome.envelope("ID-2", replyTo),
                wholeEnvelope(Event{Event::Welcome{"device-\"cy\"", Role::guest, c.view}}, "ID-2", replyTo))
          << c.name << ", welcomed, replying to " << replyTo.value_or("nothing");
    }
  }
}

TEST(EncodedEvent, EncodesEveryKindOfEventAsTheWholeEnvelopeDoes) {
  const Event events[] = {
      Event{Event::Welcome{"device-ana", Role::guest, partyWithRequests().visible(ana)}},
      Event{Event::RoleChanged{Role::dj}},
      Event{Event::Tracks{album("a1"), {track("t1"), track("t2", std::nullopt)}}},
      Event{std::vector<PlaylistRef>{album("a1", "Blue")}},
      Event{ProtocolError::forbidden("Only the DJ can do that.")},
  };
  for (const auto& event : events) {
    const auto encoded = EncodedEvent::of(event);
    EXPECT_EQ(encoded.type(), event.type());
    EXPECT_EQ(encoded.envelope("id\\1", "r"), wholeEnvelope(event, "id\\1", "r")) << event.type();
  }
}

TEST(EncodedEvent, RefusesANonFiniteNumberLikeTheWholeEnvelope) {
  auto state = partyWithRequests();
  state.playback.elapsed = std::numeric_limits<double>::infinity();
  EXPECT_THROW((void)EncodedEvent::of(state), wire::EncodeError);
}

}  // namespace
}  // namespace vinaro
