#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include <QObject>

#include "platform/runtime/cancellable_task.h"
#include "platform/runtime/monotonic_time.h"
#include "platform/runtime/scheduler.h"

namespace kovali {

/// Runs a piece of work once for a burst of requests: once they have stopped coming for a while,
/// and at the latest a longest wait after the first one that waits. Requests read in one pass
/// always share a run. Lives as a member of `owner`, whose work it runs; main thread.
class BatchTimer {
 public:
  struct Timing {
    double quietSeconds = 0;  // how long the requests must stop
    double longestWaitSeconds = 0;
    /// Whether a request runs the work in the next pass of the event loop when the last run was
    /// at least `quietSeconds` ago (or there was none), rather than waiting.
    bool atOnceWhenQuiet = false;
  };

  BatchTimer(QObject& owner, Scheduler& scheduler, Timing timing, std::function<void()> work);
  BatchTimer(const BatchTimer&) = delete;
  BatchTimer& operator=(const BatchTimer&) = delete;

  /// Asks for a run that takes this request in.
  void request();
  /// Asks for a run in the next pass of the event loop, whatever the timing: it takes in this
  /// request, those read in the same pass and any still waiting.
  void requestSoon();
  /// Runs the work at once when a run is due, and only then.
  void runNow();
  /// Forgets the run that is due, as the work was done another way.
  void drop();

 private:
  void waitFor(double seconds);
  void postRun();

  QObject& owner_;
  Scheduler& scheduler_;
  const Timing timing_;
  std::function<void()> work_;
  bool due_ = false;
  std::uint64_t posts_ = 0;  // tells a run posted for the next pass from a later one
  std::optional<MonotonicTime> lastRun_;
  std::optional<MonotonicTime> waitingSince_;  // while the run waits for the requests to stop
  CancellableTask wait_;
};

}  // namespace kovali
