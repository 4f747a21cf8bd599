#include "app/look/frame_refresh.h"

#include <QPointer>
#include <algorithm>
#include <utility>

namespace kovali {

FrameRefresh::FrameRefresh(Scheduler& scheduler, std::function<void()> refresh, QObject* parent)
    : QObject(parent), scheduler_(scheduler), refresh_(std::move(refresh)) {}

void FrameRefresh::request() {
  if (endOfFrame_.isActive()) return;  // the refresh at the end of this frame takes it in
  const double pause = pauseSeconds();
  const double since = lastEnded_ ? secondsBetween(*lastEnded_, scheduler_.monotonicNow()) : pause;
  if (since >= pause) {
    run();
    return;
  }
  endOfFrame_.start([this, wait = pause - since, self = QPointer<QObject>(this)](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(wait, token);
    if (token.isCancelled() || !self) co_return;
    run();
  });
}

double FrameRefresh::pauseSeconds() const {
  // A refresh that keeps taking longer than a frame, as a screen of a huge party might, leaves
  // as long before the next: however fast the party changes, the screen takes at most half the
  // time the phones and the DJ are served in. The shorter of the last two, so that one slow
  // refresh does not leave the screen showing an old party for as long again.
  return std::max(frameSeconds, std::min(lastTookSeconds_, tookBeforeSeconds_));
}

void FrameRefresh::run() {
  endOfFrame_.cancel();
  const MonotonicTime start = scheduler_.monotonicNow();
  refresh_();
  const MonotonicTime end = scheduler_.monotonicNow();
  tookBeforeSeconds_ = std::exchange(lastTookSeconds_, secondsBetween(start, end));
  // Timed from its end, so that a crowd's departures do not set it off again at once.
  lastEnded_ = end;
}

}  // namespace kovali
