#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include <QByteArray>
#include <QString>

#include "protocol/encoded_event.h"

namespace kovali {

/// An event made ready once for any number of phones: its payload encoded once, in UTF-8 as it goes
/// on the wire, and shared by every phone's message, so that each phone costs only its own envelope.
/// Copies share the payload, and a welcome shares the party's with the state it was made from.
class OutgoingEvent {
 public:
  /// Encodes `payload`, one of the event's alternatives; nothing (and a log line) when it holds
  /// a non-finite number.
  template <class Payload>
  static std::optional<OutgoingEvent> of(const Payload& payload) {
    try {
      return OutgoingEvent(vinaro::EncodedEvent::of(payload));
    } catch (const vinaro::wire::EncodeError& error) {
      logEncodeFailure(vinaro::EncodedEvent::typeOf<Payload>(), error.what());
      return std::nullopt;
    }
  }
  /// As above, for a whole event.
  static std::optional<OutgoingEvent> of(const vinaro::Event& event);
  /// An event whose payload, one of the event's alternatives, is already encoded as `payload`.
  template <class Payload>
  static OutgoingEvent encoded(const std::string& payload) {
    return OutgoingEvent(vinaro::EncodedEvent::typeOf<Payload>(), payload);
  }
  /// As above, with the payload's bytes as they go on the wire.
  template <class Payload>
  static OutgoingEvent encoded(QByteArray payload) {
    return OutgoingEvent(vinaro::EncodedEvent::typeOf<Payload>(), std::move(payload));
  }
  /// The welcome of a phone that sees `state`, a state event made ready before: its payload is
  /// the state's, shared, inside the phone's own envelope.
  static OutgoingEvent welcome(std::string_view participantID, vinaro::Role role, const OutgoingEvent& state);

  std::string_view type() const { return type_; }
  /// The whole message for one phone: an envelope with `id`, answering `replyTo` or nothing, is
  /// `head(id) + payload() + tail(replyTo)`; a welcome's `payload()` is its party alone.
  QString message(std::string_view id, const std::optional<std::string>& replyTo) const;
  QByteArray head(std::string_view id) const;
  const QByteArray& payload() const { return payload_; }
  /// The same bytes, for writing into other JSON.
  std::string_view payloadText() const { return {payload_.constData(), static_cast<std::size_t>(payload_.size())}; }
  QByteArray tail(const std::optional<std::string>& replyTo) const;

 private:
  explicit OutgoingEvent(const vinaro::EncodedEvent& encoded) : OutgoingEvent(encoded.type(), encoded.payload()) {}
  OutgoingEvent(std::string_view type, const std::string& payload);
  OutgoingEvent(std::string_view type, QByteArray payload) : type_(type), payload_(std::move(payload)) {}
  static void logEncodeFailure(std::string_view type, const char* what);

  std::string_view type_;  // one of the event's type names
  QByteArray opening_;     // what a welcome writes before its party
  QByteArray payload_;
  QByteArray closing_;
};

}  // namespace kovali
