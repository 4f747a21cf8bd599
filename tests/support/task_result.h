#pragma once

#include <memory>
#include <optional>
#include <utility>

#include <QTest>
#include <qcoro/qcorotask.h>

namespace kovali {

/// Starts `task` and returns where its result will be: empty until the task ends. With virtual
/// time, the test advances its scheduler and then looks.
template <class T>
std::shared_ptr<std::optional<T>> startTask(QCoro::Task<T> task) {
  auto result = std::make_shared<std::optional<T>>();
  [](QCoro::Task<T> running, std::shared_ptr<std::optional<T>> out) -> QCoro::Task<> {
    out->emplace(co_await std::move(running));
  }(std::move(task), result);
  return result;
}

inline std::shared_ptr<bool> startTask(QCoro::Task<> task) {
  auto done = std::make_shared<bool>(false);
  [](QCoro::Task<> running, std::shared_ptr<bool> out) -> QCoro::Task<> {
    co_await std::move(running);
    *out = true;
  }(std::move(task), done);
  return done;
}

/// Runs the event loop until `task` ends and returns its result; nothing when it has not ended
/// within `timeoutMs`, so a hang fails the test instead of stopping it.
template <class T>
std::optional<T> waitForResult(QCoro::Task<T> task, int timeoutMs = 20000) {
  auto result = startTask(std::move(task));
  (void)QTest::qWaitFor([&] { return result->has_value(); }, timeoutMs);
  return std::move(*result);
}

/// The same for a task without a result: whether it ended in time.
inline bool waitForResult(QCoro::Task<> task, int timeoutMs = 20000) {
  auto done = startTask(std::move(task));
  return QTest::qWaitFor([&] { return *done; }, timeoutMs);
}

}  // namespace kovali
