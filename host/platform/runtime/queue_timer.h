#pragma once

#include <functional>
#include <memory>

#include "platform/runtime/scheduler.h"
#include "platform/runtime/serial_queue.h"

namespace kovali {

/// Calls `tick` every `intervalSeconds` on `queue`'s thread until the handle goes, so that a busy
/// main thread holds no tick up. The handle may go on any thread but the queue's: it waits for a
/// tick under way, and no tick runs after. The handle keeps the queue.
[[nodiscard]] RepeatingTimer repeatOnQueue(std::shared_ptr<SerialQueue> queue, double intervalSeconds,
                                           std::function<void()> tick);

/// Starts timers as `repeatOnQueue` does, all on one queue of their own named `label`.
using QueueTimers = std::function<RepeatingTimer(double intervalSeconds, std::function<void()> tick)>;
QueueTimers timersOnOwnQueue(const QString& label);

}  // namespace kovali
