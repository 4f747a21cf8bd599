#include "platform/runtime/batch_timer.h"

#include <QPointer>
#include <algorithm>
#include <utility>

namespace kovali {

BatchTimer::BatchTimer(QObject& owner, Scheduler& scheduler, Timing timing, std::function<void()> work)
    : owner_(owner), scheduler_(scheduler), timing_(timing), work_(std::move(work)) {}

void BatchTimer::request() {
  const auto now = scheduler_.monotonicNow();
  if (!std::exchange(due_, true)) {
    if (timing_.atOnceWhenQuiet && (!lastRun_ || secondsBetween(*lastRun_, now) >= timing_.quietSeconds)) {
      postRun();
      return;
    }
    waitingSince_ = now;
  } else if (!waitingSince_) {
    return;  // goes with the run already posted
  }
  const double waited = secondsBetween(*waitingSince_, now);
  waitFor(std::max(0.0, std::min(timing_.quietSeconds, timing_.longestWaitSeconds - waited)));
}

void BatchTimer::requestSoon() {
  if (std::exchange(due_, true) && !waitingSince_) return;  // goes with the run already posted
  waitingSince_.reset();
  wait_.cancel();
  postRun();
}

void BatchTimer::postRun() {
  // Posted behind what was read already, so that requests arriving together share the run.
  QMetaObject::invokeMethod(
      &owner_,
      [this, post = ++posts_] {
        if (post == posts_) runNow();
      },
      Qt::QueuedConnection);
}

void BatchTimer::waitFor(double seconds) {
  wait_.start([this, seconds, owner = QPointer<QObject>(&owner_)](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(seconds, token);
    if (token.isCancelled() || !owner) co_return;
    runNow();
  });
}

void BatchTimer::runNow() {
  if (!due_) return;
  drop();
  lastRun_ = scheduler_.monotonicNow();
  work_();
}

void BatchTimer::drop() {
  due_ = false;
  waitingSince_.reset();
  ++posts_;
  wait_.cancel();
}

}  // namespace kovali
