#pragma once

#include <cstdint>
#include <functional>
#include <memory>

namespace kovali {

namespace detail {
struct CancellationState;
}

/// The read side of a cancellation: a coroutine checks it after each `co_await`, and a waiting
/// operation subscribes to it to end early. A default token is never cancelled. Main thread only.
class CancellationToken {
 public:
  /// Keeps a callback subscribed; unsubscribes when destroyed.
  class Subscription {
   public:
    Subscription() = default;
    Subscription(Subscription&&) noexcept = default;
    Subscription& operator=(Subscription&&) noexcept;
    ~Subscription();

   private:
    friend class CancellationToken;
    Subscription(std::weak_ptr<detail::CancellationState> state, std::uint64_t id)
        : state_(std::move(state)), id_(id) {}
    void reset();

    std::weak_ptr<detail::CancellationState> state_;
    std::uint64_t id_ = 0;
  };

  CancellationToken() = default;

  bool isCancelled() const;

  /// Calls `callback` once when the token is cancelled, or at once when it already is.
  [[nodiscard]] Subscription onCancel(std::function<void()> callback) const;

 private:
  friend class CancellationSource;
  explicit CancellationToken(std::shared_ptr<detail::CancellationState> state) : state_(std::move(state)) {}

  std::shared_ptr<detail::CancellationState> state_;
};

/// The owner's side: hands out tokens and cancels them all at once.
class CancellationSource {
 public:
  CancellationSource();

  CancellationToken token() const;
  /// Marks the tokens cancelled and runs their callbacks; later calls do nothing.
  void cancel();
  bool isCancelled() const;

 private:
  std::shared_ptr<detail::CancellationState> state_;
};

}  // namespace kovali
