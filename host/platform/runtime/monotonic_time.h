#pragma once

#include <chrono>

namespace kovali {

/// A reading of the monotonic clock, which goes on at the same pace whatever is done to the wall clock.
using MonotonicTime = std::chrono::steady_clock::time_point;

/// The reading `seconds` after `time`.
inline MonotonicTime secondsAfter(MonotonicTime time, double seconds) {
  return time + std::chrono::duration_cast<MonotonicTime::duration>(std::chrono::duration<double>(seconds));
}

/// Seconds from `earlier` to `later`.
inline double secondsBetween(MonotonicTime earlier, MonotonicTime later) {
  return std::chrono::duration<double>(later - earlier).count();
}

}  // namespace kovali
