#pragma once

#include <functional>
#include <utility>

#include <qcoro/qcorotask.h>

#include "model/date.h"
#include "platform/runtime/cancellation_token.h"
#include "platform/runtime/monotonic_time.h"

namespace kovali {

/// Keeps a repeating timer running; the timer stops when this handle is destroyed or stopped.
class RepeatingTimer {
 public:
  RepeatingTimer() = default;
  explicit RepeatingTimer(std::function<void()> stop) : stop_(std::move(stop)) {}
  RepeatingTimer(RepeatingTimer&& other) noexcept : stop_(std::exchange(other.stop_, nullptr)) {}
  RepeatingTimer& operator=(RepeatingTimer&& other) noexcept {
    if (this != &other) {
      stop();
      stop_ = std::exchange(other.stop_, nullptr);
    }
    return *this;
  }
  ~RepeatingTimer() { stop(); }

  void stop() {
    if (auto stop = std::exchange(stop_, nullptr)) stop();
  }
  bool isActive() const { return static_cast<bool>(stop_); }

 private:
  std::function<void()> stop_;
};

/// The clock and the timers of the host, injected so that tests run minutes of waiting in
/// virtual time. Main thread only.
class Scheduler {
 public:
  virtual ~Scheduler() = default;

  /// The current wall-clock time: for dates that are shown, saved or sent. It may step back or
  /// ahead when the system's clock is set.
  virtual vinaro::Date now() const = 0;

  /// The monotonic clock, the one sleeps and timers run on: for measuring gaps in time.
  virtual MonotonicTime monotonicNow() const = 0;

  /// Completes after `seconds` on a monotonic clock, or soon after `token` is cancelled (never
  /// inside the call that cancels). Zero or fewer seconds complete without suspending. The caller
  /// tells the two endings apart with `token.isCancelled()`.
  virtual QCoro::Task<> sleep(double seconds, CancellationToken token = {}) = 0;

  /// Calls `tick` every `intervalSeconds` until the returned handle goes.
  [[nodiscard]] virtual RepeatingTimer repeat(double intervalSeconds, std::function<void()> tick) = 0;
};

}  // namespace kovali
