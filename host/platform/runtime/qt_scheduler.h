#pragma once

#include <QObject>

#include "platform/runtime/scheduler.h"

namespace kovali {

/// The real clock and Qt timers (monotonic) on the thread that owns the scheduler.
class QtScheduler final : public Scheduler {
 public:
  vinaro::Date now() const override;
  MonotonicTime monotonicNow() const override;
  QCoro::Task<> sleep(double seconds, CancellationToken token = {}) override;
  RepeatingTimer repeat(double intervalSeconds, std::function<void()> tick) override;

 private:
  QObject timers_;  // parent of the repeating timers, so none outlives the scheduler
};

}  // namespace kovali
