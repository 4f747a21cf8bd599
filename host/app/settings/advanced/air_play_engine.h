#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/runtime/preferences.h"
#include "protocol/string_enum.h"

namespace kovali {

/// How the party would reach AirPlay speakers. A preference only: nothing else reads it, and
/// multi-room works the same whichever is stored.
enum class AirPlayEngine { native, experimental };

/// The preference key, holding the raw value.
inline constexpr const char* airPlayEngineKey = "airPlayEngine";  // Wire name: a preference kept across versions

/// The stored choice; `native` when nothing is stored or the text is not exactly a raw value.
AirPlayEngine storedAirPlayEngine(const Preferences& preferences);
/// Stores the raw value of `engine`.
void storeAirPlayEngine(Preferences& preferences, AirPlayEngine engine);

std::string airPlayEngineTitle(AirPlayEngine engine);
std::string airPlayEngineCaption(AirPlayEngine engine);

}  // namespace kovali

template <>
struct vinaro::EnumNames<kovali::AirPlayEngine> {
  static constexpr std::string_view typeName = "AirPlayEngine";
  static constexpr std::array<std::string_view, 2> rawValues = {"native", "experimental"};
};
