#include "session/participants/command_rate.h"

#include <algorithm>

namespace kovali {

bool CommandRate::take(vinaro::Date now) {
  if (!last_) last_ = now;
  const double elapsed = now.secondsSince(*last_);
  if (elapsed > 0) {  // a clock that went back earns nothing
    allowance_ = std::min(most_, allowance_ + elapsed * rate_);
    last_ = now;
  }
  if (allowance_ < 1) return false;
  allowance_ -= 1;
  return true;
}

}  // namespace kovali
