#pragma once

#include <cmath>
#include <cstdint>
#include <exception>
#include <limits>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "model/date.h"
#include "protocol/expected.h"
#include "protocol/json_fields.h"
#include "protocol/string_enum.h"

namespace vinaro::wire {

using Value = nlohmann::json;

/// Why a value could not be read, with the path of keys that led to it. Thrown by the readers and
/// caught where bytes come in; its description is meant for people.
class DecodeError : public std::exception {
 public:
  explicit DecodeError(std::string problem) : problem_(std::move(problem)) { rebuild(); }

  static DecodeError typeMismatch(std::string_view expected, const Value& found);

  /// Records that the failure happened below `key` (or below an array index).
  void addOuterKey(std::string_view key);
  void addOuterIndex(std::size_t index);

  const char* what() const noexcept override { return description_.c_str(); }
  const std::string& description() const { return description_; }

 private:
  void rebuild();

  std::string problem_;
  std::string path_;
  std::string description_;
};

/// Types that read themselves: `T readJSON(const wire::Value&, std::type_identity<T>)`, by ADL.
template <class T>
concept SelfReading = requires(const Value& value) { { readJSON(value, std::type_identity<T>{}) } -> std::same_as<T>; };

template <class T>
T read(const Value& value);

/// Reads the members of one JSON object. Keys it is not asked for are ignored.
class ObjectReader {
 public:
  /// Throws DecodeError unless `value` is an object.
  explicit ObjectReader(const Value& value);

  /// The value under `key`; missing or null fails.
  template <class T>
  T required(std::string_view key) const {
    const Value* member = find(key);
    if (member == nullptr) {
      DecodeError error(object_.contains(key) ? "Expected a value but found null." : "The key is missing.");
      error.addOuterKey(key);
      throw error;
    }
    return readMember<T>(key, *member);
  }

  /// The value under `key`, or nothing when the key is missing or null.
  template <class T>
  std::optional<T> optional(std::string_view key) const {
    const Value* member = find(key);
    if (member == nullptr) return std::nullopt;
    return readMember<T>(key, *member);
  }

  /// The member under `key`, or nullptr when it is missing or null.
  const Value* find(std::string_view key) const;

  /// Reads one described field into `target`.
  template <class Owner, class T>
  void readInto(Owner& target, const Field<Owner, T>& field) const {
    if constexpr (requires { typename T::value_type; std::declval<T>().has_value(); }) {
      target.*(field.member) = optional<typename T::value_type>(field.key);
    } else {
      target.*(field.member) = required<T>(field.key);
    }
  }
  template <class Owner, class T>
  void readInto(Owner& target, const FieldWithDefault<Owner, T>& field) const {
    auto value = optional<T>(field.key);
    target.*(field.member) = value ? std::move(*value) : field.fallback;
  }

 private:
  template <class T>
  T readMember(std::string_view key, const Value& member) const {
    try {
      return read<T>(member);
    } catch (DecodeError& error) {
      error.addOuterKey(key);
      throw;
    }
  }

  const Value& object_;
};

std::int64_t readInteger(const Value& value);
double readNumber(const Value& value);
const std::string& readString(const Value& value);

template <class T>
T read(const Value& value) {
  if constexpr (std::is_same_v<T, bool>) {
    if (!value.is_boolean()) throw DecodeError::typeMismatch("a boolean", value);
    return value.get<bool>();
  } else if constexpr (std::is_integral_v<T>) {
    const std::int64_t number = readInteger(value);
    if (number < std::numeric_limits<T>::min() || number > std::numeric_limits<T>::max()) {
      throw DecodeError("The number " + std::to_string(number) + " is out of range.");
    }
    return static_cast<T>(number);
  } else if constexpr (std::is_floating_point_v<T>) {
    return static_cast<T>(readNumber(value));
  } else if constexpr (std::is_same_v<T, std::string>) {
    return readString(value);
  } else if constexpr (std::is_same_v<T, Date>) {
    return Date{readNumber(value)};
  } else if constexpr (StringEnum<T>) {
    const std::string& raw = readString(value);
    if (auto parsed = enumFromRawValue<T>(raw)) return *parsed;
    throw DecodeError("Cannot read " + std::string(EnumNames<T>::typeName) + " from the unknown value \"" + raw + "\".");
  } else if constexpr (requires { typename T::key_type; typename T::mapped_type; }) {
    if (!value.is_object()) throw DecodeError::typeMismatch("an object", value);
    T result;
    for (const auto& [key, element] : value.items()) {
      try {
        result.emplace(key, read<typename T::mapped_type>(element));
      } catch (DecodeError& error) {
        error.addOuterKey(key);
        throw;
      }
    }
    return result;
  } else if constexpr (requires(T& list) { list.push_back(std::declval<typename T::value_type>()); }) {
    if (!value.is_array()) throw DecodeError::typeMismatch("an array", value);
    T result;
    result.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
      try {
        result.push_back(read<typename T::value_type>(value[i]));
      } catch (DecodeError& error) {
        error.addOuterIndex(i);
        throw;
      }
    }
    return result;
  } else if constexpr (Described<T>) {
    const ObjectReader object(value);
    T result{};
    std::apply([&](const auto&... fields) { (object.readInto(result, fields), ...); }, T::wireFields());
    return result;
  } else {
    static_assert(SelfReading<T>, "no wire form for this type: add readJSON(const wire::Value&, std::type_identity<T>)");
    return readJSON(value, std::type_identity<T>{});
  }
}

/// Parses bytes into a JSON value. Throws DecodeError on anything that is not one JSON text in
/// valid UTF-8.
Value parse(std::string_view bytes);

/// Parses and reads a whole value; throws DecodeError.
template <class T>
T decode(std::string_view bytes) {
  return read<T>(parse(bytes));
}

/// Parses and reads a whole value; a failure comes back as its description.
template <class T>
Expected<T, DecodeError> tryDecode(std::string_view bytes) {
  try {
    return decode<T>(bytes);
  } catch (DecodeError& error) {
    return error;
  }
}

}  // namespace vinaro::wire
