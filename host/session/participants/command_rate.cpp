#include "session/participants/command_rate.h"

#include <algorithm>

namespace kovali {

double CommandRate::allowanceAt(MonotonicTime now) const {
  if (!last_) return allowance_;
  return std::min(most_, allowance_ + std::max(0.0, secondsBetween(*last_, now)) * rate_);
}

bool CommandRate::take(MonotonicTime now) {
  allowance_ = allowanceAt(now);
  last_ = now;
  if (allowance_ < 1) return false;
  allowance_ -= 1;
  return true;
}

double CommandRate::secondsUntilNext(MonotonicTime now) const {
  return std::max(0.0, (1 - allowanceAt(now)) / rate_);
}

}  // namespace kovali
