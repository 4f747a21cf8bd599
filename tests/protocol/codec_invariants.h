#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "protocol/message_codec.h"

namespace vinaro::test {

/// What must hold for any bytes handed to the codec, whatever they are: the broken rule, or
/// nothing. Shared by the fuzzer and the replay of its corpus.
template <EnvelopeBody Body>
std::optional<std::string> codecInvariantViolation(std::string_view bytes) {
  const auto header = MessageCodec::header(bytes);
  const auto decoded = MessageCodec::decode<Body>(bytes);
  if (!header) {
    if (header.error().code != ProtocolError::Code::badRequest ||
        !header.error().message.starts_with("Malformed envelope: ")) {
      return "an unreadable header must be a bad request \"Malformed envelope: …\", got: " + header.error().message;
    }
    if (decoded || decoded.error() != header.error()) return "decoding must fail exactly as reading the header";
    return std::nullopt;
  }
  if (!ProtocolVersion::isSupported(header->v)) {
    const std::string expected = "Protocol version " + std::to_string(header->v) +
                                 " is not supported; this host speaks version 1.";
    if (decoded || decoded.error() != ProtocolError::unsupportedVersion(expected)) {
      return "another version must be refused before the body is read";
    }
    return std::nullopt;
  }
  if (!decoded) {
    if (decoded.error().code != ProtocolError::Code::badRequest ||
        !decoded.error().message.starts_with("Could not decode '" + header->type + "': ")) {
      return "an unreadable body must be a bad request naming its type, got: " + decoded.error().message;
    }
    return std::nullopt;
  }
  if (decoded->v != header->v || decoded->id != header->id || decoded->replyTo != header->replyTo ||
      decoded->body.type() != header->type) {
    return "the envelope disagrees with its header";
  }
  std::string encoded;
  try {
    encoded = MessageCodec::encode(*decoded);
  } catch (const wire::EncodeError& error) {
    return std::string("a decoded envelope must encode again: ") + error.what();
  }
  const auto again = MessageCodec::decode<Body>(encoded);
  if (!again || *again != *decoded) return "encoding and decoding again changed the envelope: " + encoded;
  return std::nullopt;
}

}  // namespace vinaro::test
