#include "platform/runtime/qt_scheduler.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include <QDateTime>
#include <QPointer>
#include <QTimer>
#include <qcoro/qcorotimer.h>

namespace kovali {

namespace {
std::chrono::milliseconds milliseconds(double seconds) {
  return std::chrono::milliseconds(std::llround(std::max(seconds, 0.0) * 1000.0));
}
}  // namespace

vinaro::Date QtScheduler::now() const {
  return vinaro::Date{static_cast<double>(QDateTime::currentMSecsSinceEpoch())};
}

// Qt's timers run on this clock too (CLOCK_MONOTONIC on Linux).
MonotonicTime QtScheduler::monotonicNow() const { return std::chrono::steady_clock::now(); }

QCoro::Task<> QtScheduler::sleep(double seconds, CancellationToken token) {
  if (seconds <= 0 || token.isCancelled()) co_return;
  QTimer timer;
  timer.setSingleShot(true);
  timer.setTimerType(Qt::PreciseTimer);
  timer.start(milliseconds(seconds));
  // Restarting at zero ends the wait on the next turn of the event loop, not inside cancel().
  const auto subscription = token.onCancel([&timer] { timer.start(0); });
  co_await timer;
}

RepeatingTimer QtScheduler::repeat(double intervalSeconds, std::function<void()> tick) {
  auto* timer = new QTimer(&timers_);
  timer->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer, &QTimer::timeout, timer, std::move(tick));
  timer->start(milliseconds(intervalSeconds));
  return RepeatingTimer([timer = QPointer<QTimer>(timer)] {
    if (!timer) return;
    timer->stop();
    timer->deleteLater();  // the stop may come from the timer's own tick
  });
}

}  // namespace kovali
