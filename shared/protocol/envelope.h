#pragma once

#include <concepts>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "model/hashing.h"
#include "protocol/json_reader.h"
#include "protocol/json_writer.h"

namespace vinaro {

/// The only protocol version there is.
namespace ProtocolVersion {
inline constexpr std::int64_t current = 1;
constexpr bool isSupported(std::int64_t version) { return version == current; }
}  // namespace ProtocolVersion

/// The two keys a body writes into the envelope's object.
namespace BodyCodingKeys {
inline constexpr std::string_view type = "type";
inline constexpr std::string_view payload = "payload";
}  // namespace BodyCodingKeys

/// A message body writes "type" and "payload" into the envelope's own object and reads them back.
template <class Body>
concept EnvelopeBody = std::equality_comparable<Body> && requires(const Body& body, wire::ObjectWriter& out, const wire::ObjectReader& in) {
  { body.type() } -> std::convertible_to<std::string_view>;
  body.writeBody(out);                                // writes "type" and "payload"
  { Body::readBody(in) } -> std::same_as<Body>;       // throws wire::DecodeError
};

/// The payload of bodies that carry no data: written as {}, read from anything.
struct EmptyPayload {
  bool operator==(const EmptyPayload&) const = default;
};

void writeJSON(wire::Writer& writer, const EmptyPayload& payload);
EmptyPayload readJSON(const wire::Value& value, std::type_identity<EmptyPayload>);

/// One message between a phone and the host: version, id, the id it answers, and the body, all
/// in one flat JSON object.
template <EnvelopeBody Body>
struct Envelope {
  std::int64_t v = ProtocolVersion::current;
  std::string id{};
  std::optional<std::string> replyTo{};
  Body body;

  bool operator==(const Envelope&) const = default;
};

/// What can be read of a message without knowing its body type.
struct EnvelopeHeader {
  std::int64_t v = ProtocolVersion::current;
  std::string id{};
  std::optional<std::string> replyTo{};
  std::string type{};

  /// A bare header leaves "replyTo" out when absent; only envelopes write it as null.
  // Wire name: each field's key.
  static auto wireFields() {
    using wire::field;
    return std::tuple{field("v", &EnvelopeHeader::v), field("id", &EnvelopeHeader::id),
                      field("replyTo", &EnvelopeHeader::replyTo), field("type", &EnvelopeHeader::type)};
  }
  bool operator==(const EnvelopeHeader&) const = default;
};

template <EnvelopeBody Body>
void writeJSON(wire::Writer& writer, const Envelope<Body>& envelope) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("v", envelope.v);
    object.field("id", envelope.id);
    // The phones expect the key on every message, null when the message answers nothing.
    if (envelope.replyTo) {
      object.field("replyTo", *envelope.replyTo);
    } else {
      object.nullField("replyTo");
    }
    envelope.body.writeBody(object);
  });
}

template <EnvelopeBody Body>
Envelope<Body> readJSON(const wire::Value& value, std::type_identity<Envelope<Body>>) {
  const wire::ObjectReader object(value);
  return Envelope<Body>{
      .v = object.required<std::int64_t>("v"),
      .id = object.required<std::string>("id"),
      .replyTo = object.optional<std::string>("replyTo"),
      .body = Body::readBody(object),
  };
}

}  // namespace vinaro

template <>
struct std::hash<vinaro::EmptyPayload> {
  std::size_t operator()(const vinaro::EmptyPayload&) const { return 0; }
};

template <vinaro::EnvelopeBody Body>
  requires requires(const Body& body) { std::hash<Body>{}(body); }
struct std::hash<vinaro::Envelope<Body>> {
  std::size_t operator()(const vinaro::Envelope<Body>& e) const {
    return vinaro::hashFields(e.v, e.id, e.replyTo, e.body);
  }
};
