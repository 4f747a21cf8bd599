#include "protocol/json_reader.h"

namespace vinaro::wire {
namespace {

std::string describeKind(const Value& value) {
  switch (value.type()) {
    case Value::value_t::null: return "null";
    case Value::value_t::boolean: return "a boolean";
    case Value::value_t::string: return "a string";
    case Value::value_t::array: return "an array";
    case Value::value_t::object: return "an object";
    case Value::value_t::number_integer:
    case Value::value_t::number_unsigned:
    case Value::value_t::number_float: return "a number";
    default: return "an unreadable value";
  }
}

/// nlohmann's messages start with "[json.exception.parse_error.101] "; people need only the rest.
std::string withoutExceptionTag(const char* message) {
  std::string_view text(message);
  if (text.starts_with('[')) {
    if (const auto end = text.find("] "); end != std::string_view::npos) text.remove_prefix(end + 2);
  }
  return std::string(text);
}

}  // namespace

DecodeError DecodeError::typeMismatch(std::string_view expected, const Value& found) {
  return DecodeError("Expected " + std::string(expected) + " but found " + describeKind(found) + ".");
}

void DecodeError::addOuterKey(std::string_view key) {
  path_.insert(0, path_.empty() || path_.front() == '[' ? std::string(key) : std::string(key) + ".");
  rebuild();
}

void DecodeError::addOuterIndex(std::size_t index) {
  const std::string step = "[" + std::to_string(index) + "]";
  path_.insert(0, path_.empty() || path_.front() == '[' ? step : step + ".");
  rebuild();
}

void DecodeError::rebuild() {
  description_ = path_.empty() ? problem_ : problem_ + " (at \"" + path_ + "\")";
}

ObjectReader::ObjectReader(const Value& value) : object_(value) {
  if (!value.is_object()) throw DecodeError::typeMismatch("an object", value);
}

const Value* ObjectReader::find(std::string_view key) const {
  const auto member = object_.find(key);
  if (member == object_.end() || member->is_null()) return nullptr;
  return &*member;
}

std::int64_t readInteger(const Value& value) {
  switch (value.type()) {
    case Value::value_t::number_integer: return value.get<std::int64_t>();
    case Value::value_t::number_unsigned: {
      const auto number = value.get<std::uint64_t>();
      if (number > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
        throw DecodeError("The number " + std::to_string(number) + " does not fit a 64-bit integer.");
      }
      return static_cast<std::int64_t>(number);
    }
    case Value::value_t::number_float: {
      // 3.0 reads as 3, as the phones' decoder does; 3.5 is no integer.
      const double number = value.get<double>();
      constexpr double kLimit = 9223372036854775808.0;  // 2^63
      if (std::trunc(number) != number || number < -kLimit || number >= kLimit) {
        throw DecodeError("The number " + value.dump() + " is not an integer.");
      }
      return static_cast<std::int64_t>(number);
    }
    default: throw DecodeError::typeMismatch("an integer", value);
  }
}

double readNumber(const Value& value) {
  if (!value.is_number()) throw DecodeError::typeMismatch("a number", value);
  const double number = value.get<double>();
  if (!std::isfinite(number)) throw DecodeError("The number is not finite.");
  return number;
}

const std::string& readString(const Value& value) {
  if (!value.is_string()) throw DecodeError::typeMismatch("a string", value);
  return value.get_ref<const std::string&>();
}

Value parse(std::string_view bytes) {
  try {
    return Value::parse(bytes);
  } catch (const nlohmann::json::exception& error) {
    throw DecodeError("The data is not valid JSON: " + withoutExceptionTag(error.what()));
  }
}

}  // namespace vinaro::wire
