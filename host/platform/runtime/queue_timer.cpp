#include "platform/runtime/queue_timer.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <mutex>
#include <utility>

#include <QTimer>

namespace kovali {
namespace {

/// Shared by the handle and the timer on the queue's thread; `lock` is held through each tick.
struct QueueTimerState {
  std::mutex lock;
  bool stopped = false;
  QTimer* timer = nullptr;  // made on the queue's thread
};

}  // namespace

RepeatingTimer repeatOnQueue(std::shared_ptr<SerialQueue> queue, double intervalSeconds,
                             std::function<void()> tick) {
  auto state = std::make_shared<QueueTimerState>();
  queue->async([state, intervalSeconds, tick = std::move(tick)]() mutable {
    std::lock_guard guard(state->lock);
    if (state->stopped) return;
    state->timer = new QTimer;
    state->timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(state->timer, &QTimer::timeout, [state = state.get(), tick = std::move(tick)] {
      std::lock_guard ticking(state->lock);
      if (!state->stopped) tick();
    });
    state->timer->start(std::chrono::milliseconds(std::llround(std::max(intervalSeconds, 0.0) * 1000.0)));
  });
  return RepeatingTimer([queue = std::move(queue), state] {
    std::lock_guard guard(state->lock);
    state->stopped = true;
    // Deleted on its own thread; the state outlives it, held by this handle until then.
    if (auto* timer = std::exchange(state->timer, nullptr)) queue->async([timer, state] { delete timer; });
  });
}

QueueTimers timersOnOwnQueue(const QString& label) {
  return [queue = std::make_shared<SerialQueue>(label)](double intervalSeconds, std::function<void()> tick) {
    return repeatOnQueue(queue, intervalSeconds, std::move(tick));
  };
}

}  // namespace kovali
