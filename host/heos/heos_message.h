#pragma once

// The value layer of the HEOS command-line protocol: command lines, reply lines and the
// name=value text of a reply's message. Plain C++, so the line parser can be fuzzed alone.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace kovali {

/// A decoded JSON value of a HEOS reply; only read, never written.
struct JSONValue {
  using Array = std::vector<JSONValue>;
  using Object = std::map<std::string, JSONValue, std::less<>>;
  // In this order: string, number, bool, array, object, null.
  using Storage = std::variant<std::string, double, bool, Array, Object, std::nullptr_t>;

  Storage value = nullptr;

  /// Decodes one JSON document; nothing when it is not JSON or nests deeper than the host reads.
  static std::optional<JSONValue> decode(std::string_view text);

  /// The member under `key` when this is an object holding it; null pointer otherwise.
  const JSONValue* member(std::string_view key) const;
  /// Decimal text ("+7", "-3"; no spaces) or a number rounded half away from zero, when it fits
  /// in 64 bits.
  std::optional<std::int64_t> intValue() const;
  /// Text as it is, a number as integer text (12) or its shortest form (0.5), a bool as
  /// "true"/"false"; nothing for arrays, objects and null.
  std::optional<std::string> stringValue() const;

  bool operator==(const JSONValue&) const = default;
};

/// One reply or event line from a HEOS device.
struct HEOSResponse {
  std::string command;  // "player/get_players", "event/player_state_changed"…
  bool succeeded = true;
  std::string message;  // empty when the line has none
  std::optional<JSONValue> payload;

  /// Reads one line (without its CR LF); nothing when it is not a HEOS reply.
  static std::optional<HEOSResponse> parse(std::string_view line);

  bool isEvent() const { return command.starts_with("event/"); }

  bool operator==(const HEOSResponse&) const = default;
};

/// A reply's message read as names and values.
using HEOSMessage = std::map<std::string, std::string, std::less<>>;

/// The error of every HEOS operation: the device's own (with its error id) or the host's (without).
struct HEOSError {
  std::optional<std::int64_t> code;
  std::string text;

  /// The error the device reported in a failed reply's message.
  static HEOSError fromMessage(const HEOSMessage& message);
  /// The host's own failure sentence.
  static HEOSError host(std::string text) { return HEOSError{std::nullopt, std::move(text)}; }

  /// `text`, followed by " (HEOS error <code>)" when the device gave a code.
  std::string description() const;

  bool operator==(const HEOSError&) const = default;
};

/// A command's parameters, in order.
using HEOSParameters = std::vector<std::pair<std::string, std::string>>;

/// `parameters` with name=value appended. Coroutines build their parameters with this, because
/// GCC 12 miscompiles brace lists inside a coroutine.
inline HEOSParameters withParameter(HEOSParameters parameters, std::string name, std::string value) {
  parameters.emplace_back(std::move(name), std::move(value));
  return parameters;
}

/// name=<decimal id>.
inline HEOSParameters idParameter(std::string name, std::int64_t id) {
  return withParameter({}, std::move(name), std::to_string(id));
}

/// "heos://" + command, then "?" and name=value pairs joined by "&" when there are any. Values
/// have "%", "&" and "=" escaped; names are written as given. No line terminator.
std::string heosCommandLine(std::string_view command, const HEOSParameters& parameters = {});

/// Splits a message at "&" and each piece at its first "="; values are percent-decoded when they
/// decode to UTF-8 (else kept), names are not; a later duplicate name wins.
HEOSMessage parseHEOSMessage(std::string_view message);

/// An optional sign and one or more ASCII digits, within 64 bits; nothing otherwise.
std::optional<std::int64_t> heosInteger(std::string_view text);

}  // namespace kovali
