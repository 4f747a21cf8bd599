#pragma once

#include <cstddef>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "model/date.h"

namespace kovali {

/// Keeps the party's badges in bounds: a badge stays while its participant is connected and for
/// a day after they were last seen, and of the absent holders only the 200 seen most recently
/// keep theirs. Holders of badges from before the host started count as seen at its start.
class BadgeRetention {
 public:
  static constexpr double keepSeconds = 24 * 60 * 60;
  static constexpr std::size_t maxAbsentHolders = 200;

  explicit BadgeRetention(vinaro::Date start) : start_(start) {}

  /// The participant `participantID` was connected at `now`.
  void seen(const std::string& participantID, vinaro::Date now);
  /// The holders in `badges` (participant id to tier) whose badges go at `now`, given the ids of
  /// the participants connected now; they are forgotten here.
  std::vector<std::string> expired(const std::map<std::string, std::string>& badges,
                                   const std::set<std::string>& connected, vinaro::Date now);

 private:
  vinaro::Date start_;
  std::map<std::string, vinaro::Date> lastSeen_;  // only ever badge holders, so bounded with them
};

}  // namespace kovali
