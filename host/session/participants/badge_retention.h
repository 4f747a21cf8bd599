#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/runtime/monotonic_time.h"

namespace kovali {

/// Keeps the party's badges in bounds: a badge stays while its participant is connected and for
/// a day after they were last seen, and of the absent holders only the 200 seen most recently
/// keep theirs. Holders of badges from before the host started count as seen at its start. Times
/// are read on the monotonic clock: setting the wall clock takes no one's badge.
class BadgeRetention {
 public:
  static constexpr double keepSeconds = 24 * 60 * 60;
  static constexpr std::size_t maxAbsentHolders = 200;

  explicit BadgeRetention(MonotonicTime start) : start_(start) {}

  /// The participant `participantID` was connected at `now`.
  void seen(const std::string& participantID, MonotonicTime now);
  /// The holders in `badges` (participant id to tier) whose badges go at `now`, given the ids of
  /// the participants connected now; they are forgotten here.
  std::vector<std::string> expired(const std::map<std::string, std::string>& badges,
                                   const std::set<std::string>& connected, MonotonicTime now);

 private:
  MonotonicTime start_;
  std::map<std::string, MonotonicTime> lastSeen_;  // only ever badge holders, so bounded with them
};

}  // namespace kovali
