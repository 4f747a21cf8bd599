#pragma once

#include <utility>
#include <variant>

namespace vinaro {

/// Holds either a value or the error that took its place (C++20 has no std::expected).
/// Built implicitly from either, so a function can `return state;` or `return error;`.
template <class T, class E>
class Expected {
  static_assert(!std::is_same_v<T, E>, "value and error types must differ");

 public:
  Expected(T value) : storage_(std::in_place_index<0>, std::move(value)) {}
  Expected(E error) : storage_(std::in_place_index<1>, std::move(error)) {}

  bool hasValue() const { return storage_.index() == 0; }
  explicit operator bool() const { return hasValue(); }

  const T& value() const& { return std::get<0>(storage_); }
  T& value() & { return std::get<0>(storage_); }
  T&& value() && { return std::get<0>(std::move(storage_)); }
  const E& error() const& { return std::get<1>(storage_); }
  E&& error() && { return std::get<1>(std::move(storage_)); }

  const T& operator*() const& { return value(); }
  const T* operator->() const { return &value(); }

  bool operator==(const Expected&) const = default;

 private:
  std::variant<T, E> storage_;
};

}  // namespace vinaro
