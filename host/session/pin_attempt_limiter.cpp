#include "session/pin_attempt_limiter.h"

#include <iterator>

namespace kovali {

namespace {

// Long enough that forgetting a device gives a guesser nothing worth waiting for.
constexpr double kForgetAfterSeconds = 3600;

}  // namespace

bool PINAttemptLimiter::isLocked(const std::string& deviceID, vinaro::Date now) const {
  const auto found = failures_.find(deviceID);
  if (found == failures_.end() || found->second.count < allowedFailures) return false;
  return now.secondsSince(found->second.last) < lockSeconds;
}

void PINAttemptLimiter::recordFailure(const std::string& deviceID, vinaro::Date now) {
  forgetIdleDevices(now);
  auto& failures = failures_[deviceID];
  ++failures.count;
  failures.last = now;
}

void PINAttemptLimiter::recordSuccess(const std::string& deviceID) { failures_.erase(deviceID); }

void PINAttemptLimiter::forgetIdleDevices(vinaro::Date now) {
  for (auto it = failures_.begin(); it != failures_.end();) {
    it = now.secondsSince(it->second.last) > kForgetAfterSeconds ? failures_.erase(it) : std::next(it);
  }
}

}  // namespace kovali
