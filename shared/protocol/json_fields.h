#pragma once

#include <string_view>
#include <tuple>

namespace vinaro::wire {

/// One member of a type whose JSON object is just its fields: the key and the member it holds.
/// An optional member is left out when empty and read as absent when missing or null; any other
/// member is required.
template <class Owner, class T>
struct Field {
  std::string_view key;
  T Owner::*member;
};

/// A member that reads as `fallback` when its key is missing or null, and is always written.
template <class Owner, class T>
struct FieldWithDefault {
  std::string_view key;
  T Owner::*member;
  T fallback;
};

template <class Owner, class T>
constexpr Field<Owner, T> field(std::string_view key, T Owner::*member) {
  return {key, member};
}

template <class Owner, class T, class Fallback>
FieldWithDefault<Owner, T> field(std::string_view key, T Owner::*member, Fallback&& fallback) {
  return {key, member, T(std::forward<Fallback>(fallback))};
}

/// Types that list their fields in a static `wireFields()` returning a tuple of `field(...)`.
/// The writer and reader handle them generically; the writer sorts the keys.
template <class T>
concept Described = requires { T::wireFields(); };

}  // namespace vinaro::wire
