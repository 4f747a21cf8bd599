#pragma once

#include <coroutine>
#include <cstdint>
#include <memory>

#include "platform/runtime/scheduler.h"

namespace kovali {

/// Virtual time for tests: nothing happens until the test calls `advance`, which runs every
/// sleep and timer tick that falls due, in time order (equal times in the order they were
/// scheduled), with `now()` and `monotonicNow()` showing each one's moment. A cancelled sleep
/// ends at the next `advance`, `advance(0)` included.
class ManualScheduler final : public Scheduler {
 public:
  explicit ManualScheduler(vinaro::Date start = vinaro::Date{1'700'000'000'000.0});
  ~ManualScheduler() override;

  vinaro::Date now() const override;
  MonotonicTime monotonicNow() const override;
  QCoro::Task<> sleep(double seconds, CancellationToken token = {}) override;
  RepeatingTimer repeat(double intervalSeconds, std::function<void()> tick) override;

  void advance(double seconds);
  /// Sets the wall clock ahead (or back, when negative) by `seconds`, as a time server or a
  /// person setting the system's clock does; the monotonic clock, sleeps and timers go on as before.
  void stepWallClock(double seconds);
  /// Sleeps and timers still waiting.
  int pendingCount() const;

 private:
  struct State;
  class SleepAwaiter;

  std::shared_ptr<State> state_;
};

}  // namespace kovali
