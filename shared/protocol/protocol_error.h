#pragma once

#include <array>
#include <functional>
#include <string>
#include <string_view>

#include "model/hashing.h"
#include "protocol/json_reader.h"
#include "protocol/json_writer.h"
#include "protocol/string_enum.h"

namespace vinaro {

/// The one refusal that the reducer returns and that travels to the phones: a code for software
/// and an English sentence for people, used as is.
struct ProtocolError {
  enum class Code { forbidden, notFound, limitReached, duplicate, invalidPin, musicUnavailable, unsupportedVersion, badRequest };

  Code code = Code::badRequest;
  std::string message;

  static ProtocolError forbidden(std::string message) { return {Code::forbidden, std::move(message)}; }
  static ProtocolError notFound(std::string message) { return {Code::notFound, std::move(message)}; }
  static ProtocolError limitReached(std::string message) { return {Code::limitReached, std::move(message)}; }
  static ProtocolError duplicate(std::string message) { return {Code::duplicate, std::move(message)}; }
  static ProtocolError invalidPin(std::string message) { return {Code::invalidPin, std::move(message)}; }
  static ProtocolError musicUnavailable(std::string message) { return {Code::musicUnavailable, std::move(message)}; }
  static ProtocolError unsupportedVersion(std::string message) { return {Code::unsupportedVersion, std::move(message)}; }
  static ProtocolError badRequest(std::string message) { return {Code::badRequest, std::move(message)}; }

  // Wire name: each field's key.

  static auto wireFields() {
    using wire::field;
    return std::tuple{field("code", &ProtocolError::code), field("message", &ProtocolError::message)};
  }
  bool operator==(const ProtocolError&) const = default;
};

template <>
struct EnumNames<ProtocolError::Code> {
  static constexpr std::string_view typeName = "ProtocolError.Code";
  // Wire name: the raw values phones send and read.
  static constexpr std::array<std::string_view, 8> rawValues = {
      "forbidden", "not_found", "limit_reached", "duplicate",
      "invalid_pin", "music_unavailable", "unsupported_version", "bad_request"};
};

}  // namespace vinaro
