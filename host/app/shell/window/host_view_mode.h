#pragma once

#include <array>
#include <string_view>

#include "protocol/string_enum.h"

namespace kovali {

/// What the main window shows.
enum class HostViewMode {
  party,     // the party screen
  console,   // the DJ controls
  settings,  // the settings screen
};

}  // namespace kovali

template <>
struct vinaro::EnumNames<kovali::HostViewMode> {
  static constexpr std::string_view typeName = "HostViewMode";
  static constexpr std::array<std::string_view, 3> rawValues = {"party", "console", "settings"};
};
