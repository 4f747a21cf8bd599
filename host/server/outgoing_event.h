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
/// Copies share the payload, and a welcome shares the party's with the state it was made from. A
/// party's views share its bytes but for those of their own: a view's payload is the part all
/// views share, and its `rest()` what follows of its own.
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
  /// An event whose payload, one of the event's alternatives, is already encoded: the bytes
  /// `shared`, then `rest`.
  template <class Payload>
  static OutgoingEvent encoded(QByteArray shared, QByteArray rest) {
    OutgoingEvent event(vinaro::EncodedEvent::typeOf<Payload>(), std::move(shared));
    event.rest_ = std::move(rest);
    return event;
  }
  /// The welcome of a phone that sees `state`, a state event made ready before: its payload is
  /// the state's, shared, inside the phone's own envelope.
  static OutgoingEvent welcome(std::string_view participantID, vinaro::Role role, const OutgoingEvent& state);

  std::string_view type() const { return type_; }
  /// The whole message for one phone: an envelope with `id`, answering `replyTo` or nothing, is
  /// `head(id) + payload() + rest() + tail(replyTo)`; a welcome's `payload() + rest()` is its
  /// party alone.
  QString message(std::string_view id, const std::optional<std::string>& replyTo) const;
  QByteArray head(std::string_view id) const;
  const QByteArray& payload() const { return payload_; }
  const QByteArray& rest() const { return rest_; }
  QByteArray tail(const std::optional<std::string>& replyTo) const;

 private:
  explicit OutgoingEvent(const vinaro::EncodedEvent& encoded) : OutgoingEvent(encoded.type(), encoded.payload()) {}
  OutgoingEvent(std::string_view type, const std::string& payload);
  OutgoingEvent(std::string_view type, QByteArray payload) : type_(type), payload_(std::move(payload)) {}
  static void logEncodeFailure(std::string_view type, const char* what);

  std::string_view type_;  // one of the event's type names
  QByteArray opening_;     // what a welcome writes before its party
  QByteArray payload_;
  QByteArray rest_;  // of the payload, a view's own
  QByteArray closing_;
};

}  // namespace kovali
