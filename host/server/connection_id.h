#pragma once

#include <compare>
#include <cstdint>
#include <functional>
#include <string>

namespace kovali {

/// Names one guest connection for the life of the process; ids are never reused.
struct ConnectionID {
  std::int64_t raw = 0;

  /// "c1", "c2"…
  std::string text() const { return "c" + std::to_string(raw); }

  auto operator<=>(const ConnectionID&) const = default;
};

}  // namespace kovali

template <>
struct std::hash<kovali::ConnectionID> {
  std::size_t operator()(const kovali::ConnectionID& id) const { return std::hash<std::int64_t>{}(id.raw); }
};
