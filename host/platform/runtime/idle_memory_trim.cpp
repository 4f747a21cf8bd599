#include "platform/runtime/idle_memory_trim.h"

#include <malloc.h>

#include <utility>

namespace kovali {

IdleMemoryTrim::IdleMemoryTrim(Scheduler& scheduler, std::function<void()> trim)
    : scheduler_(scheduler), trim_(trim ? std::move(trim) : [] { malloc_trim(0); }) {}

void IdleMemoryTrim::activity() {
  lastActivity_ = scheduler_.now();
  if (!std::exchange(waiting_, true)) waitForQuiet();
}

void IdleMemoryTrim::waitForQuiet() {
  // One wait per quiet spell, however busy: activity only moves the moment it ends.
  wait_.start([this](CancellationToken token) -> QCoro::Task<> {
    for (double quiet = 0; quiet < quietSeconds; quiet = scheduler_.now().secondsSince(lastActivity_)) {
      co_await scheduler_.sleep(quietSeconds - quiet, token);
      if (token.isCancelled()) co_return;  // the trim itself is gone
    }
    waiting_ = false;
    trim_();
  });
}

}  // namespace kovali
