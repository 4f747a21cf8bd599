#pragma once

#include <optional>
#include <string>

namespace kovali {

/// Minutes and seconds, "m:ss", truncated toward zero; minutes do not wrap at 60 (3725 s give
/// "62:05"). Absent or non-finite values give "–:––".
std::string formatTime(std::optional<double> seconds);

}  // namespace kovali
