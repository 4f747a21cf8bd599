#pragma once

#include <string>
#include <string_view>

#include "protocol/envelope.h"
#include "protocol/expected.h"
#include "protocol/protocol_error.h"

namespace vinaro {

/// Turns envelopes into the bytes of one message and back. Stateless; any thread may call it.
/// Reading never throws: every failure comes back as a ProtocolError a person can read.
namespace MessageCodec {

namespace detail {

/// A message whose header reads and whose version this host speaks, parsed once for the body.
struct ReadableMessage {
  wire::Value json;
  EnvelopeHeader header;
};

Expected<ReadableMessage, ProtocolError> parseHeader(std::string_view bytes);
Expected<ReadableMessage, ProtocolError> parseSupported(std::string_view bytes);
ProtocolError undecodableBody(const EnvelopeHeader& header, std::string_view description);

}  // namespace detail

/// The wire form of `envelope`. Throws wire::EncodeError when the body holds a non-finite number.
template <EnvelopeBody Body>
std::string encode(const Envelope<Body>& envelope) {
  return wire::encode(envelope);
}

/// The header of a message, or a bad request "Malformed envelope: …".
Expected<EnvelopeHeader, ProtocolError> header(std::string_view bytes);

/// The whole envelope. Refuses, in this order: a header that does not read, a version other than
/// the current one (without looking at the body), then a body that does not read.
template <EnvelopeBody Body>
Expected<Envelope<Body>, ProtocolError> decode(std::string_view bytes) {
  auto message = detail::parseSupported(bytes);
  if (!message) return std::move(message).error();
  try {
    return wire::read<Envelope<Body>>(message->json);
  } catch (const wire::DecodeError& error) {
    return detail::undecodableBody(message->header, error.description());
  } catch (const nlohmann::json::exception& error) {
    // A body that reaches past the strict readers must still not take the connection down.
    return detail::undecodableBody(message->header, error.what());
  }
}

}  // namespace MessageCodec

}  // namespace vinaro
