#pragma once

#include <concepts>
#include <optional>
#include <utility>

#include <qcoro/qcorotask.h>

#include "platform/runtime/cancellation_token.h"

namespace kovali {

/// A coroutine stored in a member of its owner, such as a pending restart or a watchdog.
/// Starting a new one cancels the previous one, and so do `cancel()` and the holder's end.
///
/// A QCoro task runs on by itself once started: destroying its `Task` object does not stop it.
/// So the body gets the token, and after each `co_await` checks it (and its owner, through a
/// `QPointer`) and returns quietly when either is gone. The holder keeps the body callable alive
/// until the coroutine ends, so a lambda's captures stay valid across suspensions.
class CancellableTask {
 public:
  CancellableTask() = default;
  CancellableTask(const CancellableTask&) = delete;
  CancellableTask& operator=(const CancellableTask&) = delete;
  ~CancellableTask() { cancel(); }

  /// Cancels the running body, if any, and starts `body(token)` at once.
  template <class Body>
    requires std::invocable<Body&, CancellationToken>
  void start(Body body) {
    cancel();
    source_.emplace();
    run(std::move(body), source_->token());
  }

  /// Cancels the running body, if any, and forgets it.
  void cancel() {
    if (source_) std::exchange(source_, std::nullopt)->cancel();
  }

  /// Whether a body was started and not cancelled since (it may have finished already).
  bool isActive() const { return source_.has_value(); }

 private:
  template <class Body>
  static QCoro::Task<> run(Body body, CancellationToken token) {
    co_await body(token);
  }

  std::optional<CancellationSource> source_;
};

}  // namespace kovali
