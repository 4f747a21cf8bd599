#pragma once

#include <coroutine>
#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

#include <QObject>
#include <QPointer>
#include <QString>
#include <QThread>
#include <qcoro/qcorotask.h>

namespace kovali {

/// One worker thread that runs the work given to it one item at a time, in the order given,
/// named after its label ("kovaliapp.host.net"). The thread runs a Qt event loop, so objects
/// moved to `thread()` deliver their signals there too. Results hop back with a queued call to
/// the thread that created the queue (the main thread).
class SerialQueue {
 public:
  template <class Work>
  class Awaited;

  explicit SerialQueue(const QString& label);
  SerialQueue(const SerialQueue&) = delete;
  SerialQueue& operator=(const SerialQueue&) = delete;
  /// Runs the work already queued, then ends the thread.
  ~SerialQueue();

  const QString& label() const { return label_; }
  QThread* thread() { return &thread_; }

  /// Runs `work` on the queue after everything queued before it.
  void async(std::function<void()> work);

  /// Runs `work` on the queue; the coroutine that awaits this resumes on the main thread with
  /// its result, even when the queue has gone by then. `work` goes on the queue, so what it holds
  /// is let go there. Make the task in a statement of its own: GCC 12 ends a lambda made inside
  /// a co_await expression twice.
  template <class Work>
  QCoro::Task<std::invoke_result_t<Work&>> result(Work work) {
    Awaited<Work> awaited(*this, std::move(work));
    co_return co_await awaited;
  }

  /// Runs `work` on the queue, then `done` with its result (none for void work) on the creating
  /// thread, unless `receiver` is gone by then. Results arrive in the order the work was queued.
  template <class Work, class Done>
  void async(Work work, QObject* receiver, Done done) {
    async([work = std::move(work), done = std::move(done), guard = QPointer<QObject>(receiver),
           home = home_.get()]() mutable {
      if constexpr (std::is_void_v<std::invoke_result_t<Work&>>) {
        work();
        deliver(home, [guard = std::move(guard), done = std::move(done)]() mutable {
          if (guard) done();
        });
      } else {
        deliver(home, [guard = std::move(guard), done = std::move(done), result = work()]() mutable {
          if (guard) done(std::move(result));
        });
      }
    });
  }

 private:
  static void deliver(QObject* home, std::function<void()> call);
  static void resumeOnMainThread(std::coroutine_handle<> waiting);

  QString label_;
  QThread thread_;
  std::unique_ptr<QObject> worker_;  // lives on thread_; receives the work
  std::unique_ptr<QObject> home_;    // lives on the creating thread; receives the results
};

template <class Work>
class SerialQueue::Awaited {
 public:
  using Result = std::invoke_result_t<Work&>;

  Awaited(SerialQueue& queue, Work work) : queue_(queue), work_(std::move(work)) {}

  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> waiting) {
    // This lives in the waiting coroutine's frame until it resumes, so the queue may write here.
    queue_.async([this, waiting] {
      result_.emplace((*work_)());
      work_.reset();
      resumeOnMainThread(waiting);
    });
  }
  Result await_resume() { return std::move(*result_); }

 private:
  SerialQueue& queue_;
  std::optional<Work> work_;
  std::optional<Result> result_;
};

}  // namespace kovali
