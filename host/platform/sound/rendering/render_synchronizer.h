#pragma once

#include <functional>
#include <mutex>

#include "platform/sound/pcm_buffer.h"

namespace kovali {

/// The clock of timed playback on this computer: a stream timeline's time that runs at a rate
/// from where it was last set. Renderers play each buffer when this clock reaches the buffer's
/// presentation time. Any thread.
class RenderSynchronizer {
 public:
  /// Seconds on a clock that never jumps.
  using MonotonicClock = std::function<double()>;

  /// The system's monotonic clock.
  static double steadySeconds();

  explicit RenderSynchronizer(MonotonicClock clock = &RenderSynchronizer::steadySeconds);

  /// Runs the timeline at `rate` from `time`; an invalid `time` keeps the current time.
  void setRate(double rate, MediaTime time);
  /// The timeline's time now in seconds; not finite before a time was first set.
  double currentTime() const;
  double rate() const;

 private:
  double timeAt(double now) const;

  MonotonicClock clock_;
  mutable std::mutex lock_;
  double rate_ = 0;
  double anchorTime_;  // timeline seconds at anchorClock_
  double anchorClock_ = 0;
};

}  // namespace kovali
