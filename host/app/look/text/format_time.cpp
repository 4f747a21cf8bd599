#include "app/look/text/format_time.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace kovali {

std::string formatTime(std::optional<double> seconds) {
  if (!seconds || !std::isfinite(*seconds)) return "\u2013:\u2013\u2013";
  // Far beyond any song; kept in range so the conversion is defined.
  constexpr double limit = 9.2e18;
  const auto whole = static_cast<std::int64_t>(std::clamp(std::trunc(*seconds), -limit, limit));
  const std::int64_t minutes = whole / 60;
  const std::int64_t rest = whole - minutes * 60;
  char text[48];
  std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(minutes), static_cast<long long>(rest));
  return text;
}

}  // namespace kovali
