#pragma once

#include <array>
#include <cstddef>
#include <optional>
#include <string_view>

namespace vinaro {

/// Wire names of a string enumeration, one per case in declaration order (cases numbered from 0).
/// Specialise with `static constexpr std::string_view typeName` and
/// `static constexpr std::array<std::string_view, N> rawValues`.
template <class E>
struct EnumNames;

template <class E>
concept StringEnum = std::is_enum_v<E> && requires {
  EnumNames<E>::rawValues;
  EnumNames<E>::typeName;
};

template <StringEnum E>
constexpr std::string_view rawValue(E value) {
  const auto index = static_cast<std::size_t>(value);
  return index < EnumNames<E>::rawValues.size() ? EnumNames<E>::rawValues[index] : std::string_view{};
}

/// The case whose raw value equals `raw` exactly (case-sensitive), or nothing.
template <StringEnum E>
constexpr std::optional<E> enumFromRawValue(std::string_view raw) {
  const auto& names = EnumNames<E>::rawValues;
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (names[i] == raw) return static_cast<E>(i);
  }
  return std::nullopt;
}

/// Every case in declaration order.
template <StringEnum E>
constexpr auto allCases() {
  std::array<E, EnumNames<E>::rawValues.size()> cases{};
  for (std::size_t i = 0; i < cases.size(); ++i) cases[i] = static_cast<E>(i);
  return cases;
}

}  // namespace vinaro
