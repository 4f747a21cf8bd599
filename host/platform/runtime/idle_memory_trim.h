#pragma once

#include <functional>

#include "model/date.h"
#include "platform/runtime/cancellable_task.h"
#include "platform/runtime/scheduler.h"

namespace kovali {

/// Gives the memory a busy spell freed back to the system once the host has been quiet for
/// `quietSeconds`: the allocator keeps a peak's pages otherwise. One trim per quiet spell.
class IdleMemoryTrim {
 public:
  static constexpr double quietSeconds = 30;

  /// `trim` returns the free memory (the C library's heap trim unless given).
  explicit IdleMemoryTrim(Scheduler& scheduler, std::function<void()> trim = {});

  /// Something happened: the quiet starts again.
  void activity();

 private:
  void waitForQuiet();

  Scheduler& scheduler_;
  std::function<void()> trim_;
  vinaro::Date lastActivity_;
  bool waiting_ = false;
  CancellableTask wait_;
};

}  // namespace kovali
