#pragma once

#include <map>
#include <string>

#include "model/date.h"

namespace kovali {

/// Slows down guessing of the DJ PIN: after `allowedFailures` wrong PINs in a row from one
/// device, that device's attempts within `lockSeconds` of its last wrong one are refused
/// without being compared, so it gets one guess per `lockSeconds` until it enters the right
/// PIN. Devices are told apart only by the id they send.
class PINAttemptLimiter {
 public:
  static constexpr int allowedFailures = 5;
  static constexpr double lockSeconds = 30;

  /// Whether an attempt from `deviceID` at `now` is refused unread.
  bool isLocked(const std::string& deviceID, vinaro::Date now) const;
  void recordFailure(const std::string& deviceID, vinaro::Date now);
  void recordSuccess(const std::string& deviceID);

 private:
  struct Failures {
    int count = 0;
    vinaro::Date last;
  };

  /// Drops devices that have not failed for a long time, so that changing ids cannot grow the
  /// table without end.
  void forgetIdleDevices(vinaro::Date now);

  std::map<std::string, Failures> failures_;
};

}  // namespace kovali
