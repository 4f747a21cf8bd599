#pragma once

#include <functional>

#include "platform/runtime/scheduler.h"

namespace kovali {

/// Moves a progress display on: while it is wanted, calls `tick` at once and then every second.
/// It stops when it is no longer wanted and when it goes.
class ProgressTicker {
 public:
  ProgressTicker(Scheduler& scheduler, std::function<void()> tick);

  /// Starts ticking when `wanted` and not ticking yet; stops when not `wanted`.
  void follow(bool wanted);

 private:
  Scheduler& scheduler_;
  std::function<void()> tick_;
  RepeatingTimer timer_;
};

}  // namespace kovali
