#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <variant>

#include "protocol/event.h"

namespace vinaro {

/// An event whose "type" and "payload" are encoded once, for many envelopes that differ only in
/// "id" and "replyTo": `head(id) + payload() + tail(replyTo)` is byte for byte what
/// `MessageCodec::encode` gives for the envelope {current version, id, replyTo, the event}.
class EncodedEvent {
 public:
  /// Encodes `payload`, one of the event's alternatives, without copying it into an Event.
  /// Throws wire::EncodeError when it holds a non-finite number.
  template <class Payload>
  static EncodedEvent of(const Payload& payload);
  /// Encodes the body of `event`; throws as above.
  static EncodedEvent of(const Event& event);
  /// A welcome whose state is already encoded as `of(state)` gives it, so that phones joining
  /// together share one encoding of the party.
  static EncodedEvent welcome(std::string_view participantID, Role role, std::string_view encodedState);
  /// A welcome's payload is `welcomeOpening(...) + encodedState + welcomeClosing`: the party's
  /// bytes need not be copied at all.
  static std::string welcomeOpening(std::string_view participantID, Role role);
  static constexpr std::string_view welcomeClosing = "}";

  /// The "type" an event with this payload has.
  template <class Payload>
  static constexpr std::string_view typeOf() {
    constexpr std::size_t index = indexIn<Payload>(std::type_identity<Event::Payload>{});
    static_assert(index < Event::typeNames.size(), "not one of the event's payloads");
    return Event::typeNames[index];
  }

  std::string_view type() const { return type_; }
  /// The payload's JSON.
  const std::string& payload() const { return payload_; }
  /// What comes before the payload in an envelope with this id.
  static std::string head(std::string_view id);
  /// What comes after the payload in an envelope answering `replyTo` (or nothing).
  std::string tail(const std::optional<std::string>& replyTo) const { return tail(type_, replyTo); }
  /// The same for an event of `type`.
  static std::string tail(std::string_view type, const std::optional<std::string>& replyTo);
  /// The whole message.
  std::string envelope(std::string_view id, const std::optional<std::string>& replyTo) const;

 private:
  EncodedEvent(std::string_view type, std::string payload) : type_(type), payload_(std::move(payload)) {}

  template <class Payload, class... Alternatives>
  static constexpr std::size_t indexIn(std::type_identity<std::variant<Alternatives...>>) {
    constexpr bool matches[] = {std::is_same_v<Payload, Alternatives>...};
    for (std::size_t i = 0; i < sizeof...(Alternatives); ++i) {
      if (matches[i]) return i;
    }
    return sizeof...(Alternatives);
  }

  std::string_view type_;  // one of Event::typeNames
  std::string payload_;
};

template <class Payload>
EncodedEvent EncodedEvent::of(const Payload& payload) {
  return EncodedEvent(typeOf<Payload>(), wire::encode(payload));
}

}  // namespace vinaro
