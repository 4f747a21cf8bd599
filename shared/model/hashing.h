#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <type_traits>
#include <variant>
#include <vector>

#include "model/date.h"
#include "protocol/json_fields.h"

namespace vinaro {

inline void hashCombine(std::size_t& seed, std::size_t value) {
  seed ^= value + 0x9e3779b97f4a7c15ULL + (seed << 6) + (seed >> 2);
}

/// Feeds one field into `seed`: an optional feeds a presence marker and then its value, a list
/// its length and then its elements.
template <class T>
void hashInto(std::size_t& seed, const T& value) {
  if constexpr (std::is_enum_v<T>) {
    hashCombine(seed, std::hash<std::underlying_type_t<T>>{}(static_cast<std::underlying_type_t<T>>(value)));
  } else if constexpr (std::is_same_v<T, Date>) {
    hashCombine(seed, std::hash<double>{}(value.millisecondsSince1970));
  } else if constexpr (requires { value.has_value(); *value; }) {
    hashCombine(seed, value.has_value() ? 1 : 0);
    if (value.has_value()) hashInto(seed, *value);
  } else if constexpr (requires { typename T::key_type; typename T::mapped_type; }) {
    hashCombine(seed, value.size());
    for (const auto& [key, element] : value) {
      hashInto(seed, key);
      hashInto(seed, element);
    }
  } else if constexpr (requires { typename T::value_type; value.size(); } && !std::is_same_v<T, std::string>) {
    hashCombine(seed, value.size());
    for (const auto& element : value) hashInto(seed, element);
  } else if constexpr (requires { value.index(); std::variant_size<T>::value; }) {
    hashCombine(seed, value.index());
    std::visit([&](const auto& alternative) { hashInto(seed, alternative); }, value);
  } else if constexpr (wire::Described<T>) {
    std::apply([&](const auto&... fields) { (hashInto(seed, value.*(fields.member)), ...); }, T::wireFields());
  } else if constexpr (std::is_empty_v<T>) {
    // a value without data adds nothing
  } else {
    hashCombine(seed, std::hash<T>{}(value));
  }
}

/// A hash over the given fields, in order.
template <class... Fields>
std::size_t hashFields(const Fields&... fields) {
  std::size_t seed = 0;
  (hashInto(seed, fields), ...);
  return seed;
}

}  // namespace vinaro

/// Every type that describes its fields hashes them in order.
template <class T>
  requires vinaro::wire::Described<T>
struct std::hash<T> {
  std::size_t operator()(const T& value) const {
    std::size_t seed = 0;
    vinaro::hashInto(seed, value);
    return seed;
  }
};
