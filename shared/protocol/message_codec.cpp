// Wire text: the refusals made here reach the phones word for word.
#include "protocol/message_codec.h"

namespace vinaro::MessageCodec {
namespace detail {

Expected<ReadableMessage, ProtocolError> parseHeader(std::string_view bytes) {
  try {
    wire::Value json = wire::parse(bytes);
    EnvelopeHeader header = wire::read<EnvelopeHeader>(json);
    return ReadableMessage{std::move(json), std::move(header)};
  } catch (const wire::DecodeError& error) {
    return ProtocolError::badRequest("Malformed envelope: " + error.description());
  }
}

Expected<ReadableMessage, ProtocolError> parseSupported(std::string_view bytes) {
  auto message = parseHeader(bytes);
  if (message && !ProtocolVersion::isSupported(message->header.v)) {
    return ProtocolError::unsupportedVersion("Protocol version " + std::to_string(message->header.v) +
                                             " is not supported; this host speaks version " +
                                             std::to_string(ProtocolVersion::current) + ".");
  }
  return message;
}

ProtocolError undecodableBody(const EnvelopeHeader& header, std::string_view description) {
  return ProtocolError::badRequest("Could not decode '" + header.type + "': " + std::string(description));
}

}  // namespace detail

Expected<EnvelopeHeader, ProtocolError> header(std::string_view bytes) {
  auto message = detail::parseHeader(bytes);
  if (!message) return std::move(message).error();
  return std::move(message).value().header;
}

}  // namespace vinaro::MessageCodec
