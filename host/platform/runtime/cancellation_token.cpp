#include "platform/runtime/cancellation_token.h"

#include <map>
#include <utility>

namespace kovali {

namespace detail {
struct CancellationState {
  bool cancelled = false;
  std::uint64_t nextID = 0;
  std::map<std::uint64_t, std::function<void()>> callbacks;
};
}  // namespace detail

CancellationToken::Subscription& CancellationToken::Subscription::operator=(Subscription&& other) noexcept {
  if (this != &other) {
    reset();
    state_ = std::move(other.state_);
    id_ = other.id_;
  }
  return *this;
}

CancellationToken::Subscription::~Subscription() { reset(); }

void CancellationToken::Subscription::reset() {
  if (auto state = state_.lock()) state->callbacks.erase(id_);
  state_.reset();
}

bool CancellationToken::isCancelled() const { return state_ && state_->cancelled; }

CancellationToken::Subscription CancellationToken::onCancel(std::function<void()> callback) const {
  if (!state_) return {};
  if (state_->cancelled) {
    callback();
    return {};
  }
  const auto id = ++state_->nextID;
  state_->callbacks.emplace(id, std::move(callback));
  return Subscription(state_, id);
}

CancellationSource::CancellationSource() : state_(std::make_shared<detail::CancellationState>()) {}

CancellationToken CancellationSource::token() const { return CancellationToken(state_); }

void CancellationSource::cancel() {
  if (state_->cancelled) return;
  state_->cancelled = true;
  // A callback may drop other subscriptions, so take the whole table first.
  auto callbacks = std::exchange(state_->callbacks, {});
  for (auto& [id, callback] : callbacks) callback();
}

bool CancellationSource::isCancelled() const { return state_->cancelled; }

}  // namespace kovali
