#include "platform/sound/rendering/render_synchronizer.h"

#include <chrono>
#include <cmath>
#include <limits>

namespace kovali {

double RenderSynchronizer::steadySeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

RenderSynchronizer::RenderSynchronizer(MonotonicClock clock)
    : clock_(std::move(clock)), anchorTime_(std::numeric_limits<double>::quiet_NaN()) {}

void RenderSynchronizer::setRate(double rate, MediaTime time) {
  const double now = clock_();
  std::lock_guard lock(lock_);
  anchorTime_ = time.isValid() ? time.seconds() : timeAt(now);
  anchorClock_ = now;
  rate_ = rate;
}

double RenderSynchronizer::currentTime() const {
  const double now = clock_();
  std::lock_guard lock(lock_);
  return timeAt(now);
}

double RenderSynchronizer::rate() const {
  std::lock_guard lock(lock_);
  return rate_;
}

double RenderSynchronizer::timeAt(double now) const { return anchorTime_ + (now - anchorClock_) * rate_; }

}  // namespace kovali
