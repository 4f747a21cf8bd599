#include "heos/heos_message.h"

#include <charconv>
#include <cmath>
#include <limits>

#include <nlohmann/json.hpp>

#include "protocol/percent_decoding.h"

namespace kovali {
namespace {

// Deeper documents are refused rather than walked recursively; HEOS replies nest three levels.
constexpr int kMaxDepth = 128;
constexpr double kInt64Limit = 9223372036854775808.0;  // 2^63

std::optional<JSONValue> converted(const nlohmann::json& json, int depth) {
  if (depth > kMaxDepth) return std::nullopt;
  switch (json.type()) {
    case nlohmann::json::value_t::null:
      return JSONValue{nullptr};
    case nlohmann::json::value_t::string:
      return JSONValue{json.get_ref<const std::string&>()};
    case nlohmann::json::value_t::boolean:
      return JSONValue{json.get<bool>()};
    case nlohmann::json::value_t::number_integer:
      return JSONValue{static_cast<double>(json.get<std::int64_t>())};
    case nlohmann::json::value_t::number_unsigned:
      return JSONValue{static_cast<double>(json.get<std::uint64_t>())};
    case nlohmann::json::value_t::number_float:
      return JSONValue{json.get<double>()};
    case nlohmann::json::value_t::array: {
      JSONValue::Array array;
      array.reserve(json.size());
      for (const auto& element : json) {
        auto value = converted(element, depth + 1);
        if (!value) return std::nullopt;
        array.push_back(std::move(*value));
      }
      return JSONValue{std::move(array)};
    }
    case nlohmann::json::value_t::object: {
      JSONValue::Object object;
      for (const auto& [key, element] : json.items()) {
        auto value = converted(element, depth + 1);
        if (!value) return std::nullopt;
        object.insert_or_assign(key, std::move(*value));
      }
      return JSONValue{std::move(object)};
    }
    case nlohmann::json::value_t::binary:
    case nlohmann::json::value_t::discarded:
      break;
  }
  return std::nullopt;
}

std::optional<std::int64_t> roundedInteger(double number) {
  const double rounded = std::round(number);  // halves away from zero
  if (!(rounded >= -kInt64Limit && rounded < kInt64Limit)) return std::nullopt;  // NaN too
  return static_cast<std::int64_t>(rounded);
}

std::string numberText(double number) {
  if (std::trunc(number) == number && number >= -kInt64Limit && number < kInt64Limit) {
    return std::to_string(static_cast<std::int64_t>(number));
  }
  char buffer[64];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);  // shortest round trip
  return std::string(buffer, result.ptr);
}

void appendEscaped(std::string& line, std::string_view value) {
  for (const char c : value) {
    switch (c) {
      case '%': line += "%25"; break;
      case '&': line += "%26"; break;
      case '=': line += "%3D"; break;
      default: line += c;
    }
  }
}

}  // namespace

// ---- JSONValue ------------------------------------------------------------------------------

std::optional<JSONValue> JSONValue::decode(std::string_view text) {
  const auto json = nlohmann::json::parse(text, nullptr, /*allow_exceptions=*/false);
  if (json.is_discarded()) return std::nullopt;
  return converted(json, 0);
}

const JSONValue* JSONValue::member(std::string_view key) const {
  const auto* object = std::get_if<Object>(&value);
  if (!object) return nullptr;
  const auto found = object->find(key);
  return found != object->end() ? &found->second : nullptr;
}

std::optional<std::int64_t> JSONValue::intValue() const {
  if (const auto* text = std::get_if<std::string>(&value)) return heosInteger(*text);
  if (const auto* number = std::get_if<double>(&value)) return roundedInteger(*number);
  return std::nullopt;
}

std::optional<std::string> JSONValue::stringValue() const {
  if (const auto* text = std::get_if<std::string>(&value)) return *text;
  if (const auto* number = std::get_if<double>(&value)) return numberText(*number);
  if (const auto* flag = std::get_if<bool>(&value)) return *flag ? "true" : "false";
  return std::nullopt;
}

// ---- Lines ----------------------------------------------------------------------------------

std::optional<HEOSResponse> HEOSResponse::parse(std::string_view line) {
  const auto document = JSONValue::decode(line);
  if (!document) return std::nullopt;
  const JSONValue* heos = document->member("heos");
  if (!heos) return std::nullopt;
  const JSONValue* command = heos->member("command");
  auto commandText = command ? command->stringValue() : std::nullopt;
  if (!commandText) return std::nullopt;

  HEOSResponse response;
  response.command = std::move(*commandText);
  const JSONValue* result = heos->member("result");
  const auto resultText = result ? result->stringValue() : std::nullopt;
  response.succeeded = !resultText || *resultText == "success";
  const JSONValue* message = heos->member("message");
  response.message = (message ? message->stringValue() : std::nullopt).value_or("");
  if (const JSONValue* payload = document->member("payload")) response.payload = *payload;
  return response;
}

std::string heosCommandLine(std::string_view command, const HEOSParameters& parameters) {
  std::string line = "heos://";
  line += command;
  for (std::size_t i = 0; i < parameters.size(); ++i) {
    line += i == 0 ? '?' : '&';
    line += parameters[i].first;
    line += '=';
    appendEscaped(line, parameters[i].second);
  }
  return line;
}

HEOSMessage parseHEOSMessage(std::string_view message) {
  HEOSMessage parsed;
  while (!message.empty()) {
    const auto end = message.find('&');
    const std::string_view piece = message.substr(0, end);
    message = end == std::string_view::npos ? std::string_view{} : message.substr(end + 1);
    if (piece.empty()) continue;
    const auto equals = piece.find('=');
    const std::string_view name = piece.substr(0, equals);
    const std::string_view value = equals == std::string_view::npos ? std::string_view{} : piece.substr(equals + 1);
    parsed.insert_or_assign(std::string(name), vinaro::percentDecoded(value).value_or(std::string(value)));
  }
  return parsed;
}

std::optional<std::int64_t> heosInteger(std::string_view text) {
  std::string_view digits = text;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) digits.remove_prefix(1);
  if (digits.empty()) return std::nullopt;
  for (const char c : digits) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  // from_chars takes "-" but not "+"; the digits alone were checked above.
  const std::string_view parsedText = text.front() == '+' ? digits : text;
  std::int64_t value = 0;
  const auto result = std::from_chars(parsedText.data(), parsedText.data() + parsedText.size(), value);
  if (result.ec != std::errc{} || result.ptr != parsedText.data() + parsedText.size()) return std::nullopt;
  return value;
}

// ---- HEOSError ------------------------------------------------------------------------------

HEOSError HEOSError::fromMessage(const HEOSMessage& message) {
  HEOSError error;
  if (const auto eid = message.find("eid"); eid != message.end()) error.code = heosInteger(eid->second);
  const auto text = message.find("text");
  error.text = text != message.end() && !text->second.empty() ? text->second : "HEOS refused the command";
  return error;
}

std::string HEOSError::description() const {
  if (!code) return text;
  return text + " (HEOS error " + std::to_string(*code) + ")";
}

}  // namespace kovali
