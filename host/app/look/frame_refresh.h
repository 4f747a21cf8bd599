#pragma once

#include <functional>
#include <optional>

#include <QObject>

#include "platform/runtime/cancellable_task.h"
#include "platform/runtime/monotonic_time.h"
#include "platform/runtime/scheduler.h"

namespace kovali {

/// Runs a screen's refresh at the pace of the screen, however often the party changes: at once
/// when it has not run for a frame since it last ended, and otherwise once that time is over. A
/// storm of joins then redraws sixty times a second at most, not once a join. A screen whose
/// refreshes keep taking longer than a frame leaves as long free after each as the shorter of its
/// last two took, so it never takes more than half the time; one slow refresh alone, such as the
/// first after a big load, holds back the next by no more than a frame.
class FrameRefresh final : public QObject {
 public:
  static constexpr double frameSeconds = 1.0 / 60;

  FrameRefresh(Scheduler& scheduler, std::function<void()> refresh, QObject* parent);

  /// The screen is out of date: refreshes it now or at the end of the frame.
  void request();

 private:
  void run();
  /// How long after the last run ended the next may start.
  double pauseSeconds() const;

  Scheduler& scheduler_;
  std::function<void()> refresh_;
  std::optional<MonotonicTime> lastEnded_;
  double lastTookSeconds_ = 0;
  double tookBeforeSeconds_ = 0;
  CancellableTask endOfFrame_;
};

}  // namespace kovali
