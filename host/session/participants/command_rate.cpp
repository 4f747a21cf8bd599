#include "session/participants/command_rate.h"

#include <algorithm>

namespace kovali {

bool CommandRate::take(MonotonicTime now) {
  if (last_) allowance_ = std::min(most_, allowance_ + secondsBetween(*last_, now) * rate_);
  last_ = now;
  if (allowance_ < 1) return false;
  allowance_ -= 1;
  return true;
}

}  // namespace kovali
