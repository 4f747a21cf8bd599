#include "support/manual_scheduler.h"

#include <algorithm>
#include <cmath>
#include <tuple>
#include <variant>
#include <vector>

namespace kovali {

namespace {
std::int64_t microseconds(double seconds) { return std::llround(std::max(seconds, 0.0) * 1'000'000.0); }

// Not the clock's zero: a machine that has been up for a day.
const MonotonicTime kMonotonicStart = MonotonicTime(std::chrono::hours(24));
}  // namespace

struct ManualScheduler::State {
  struct Entry {
    std::uint64_t id = 0;
    std::int64_t due = 0;  // microseconds since the start
    std::uint64_t order = 0;
    std::int64_t interval = 0;  // timers only
    std::variant<std::coroutine_handle<>, std::function<void()>> action;
  };

  vinaro::Date start;
  std::int64_t elapsed = 0;
  double wallClockSteps = 0;  // seconds
  std::uint64_t nextID = 0;
  std::uint64_t nextOrder = 0;
  std::vector<Entry> entries;

  std::uint64_t add(std::int64_t due, std::int64_t interval, decltype(Entry::action) action) {
    const auto id = ++nextID;
    entries.push_back({id, due, ++nextOrder, interval, std::move(action)});
    return id;
  }
  Entry* find(std::uint64_t id) {
    auto it = std::find_if(entries.begin(), entries.end(), [id](const Entry& e) { return e.id == id; });
    return it == entries.end() ? nullptr : &*it;
  }
  void remove(std::uint64_t id) {
    std::erase_if(entries, [id](const Entry& e) { return e.id == id; });
  }
  Entry* next(std::int64_t limit) {
    Entry* best = nullptr;
    for (auto& entry : entries) {
      if (entry.due > limit) continue;
      if (!best || std::tie(entry.due, entry.order) < std::tie(best->due, best->order)) best = &entry;
    }
    return best;
  }
};

class ManualScheduler::SleepAwaiter {
 public:
  SleepAwaiter(std::shared_ptr<State> state, std::int64_t duration, CancellationToken token)
      : state_(std::move(state)), duration_(duration), token_(std::move(token)) {}

  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> handle) {
    const auto id = state_->add(state_->elapsed + duration_, 0, handle);
    subscription_ = token_.onCancel([weak = std::weak_ptr<State>(state_), id] {
      auto state = weak.lock();
      if (!state) return;
      if (auto* entry = state->find(id)) {
        entry->due = std::min(entry->due, state->elapsed);
        entry->order = ++state->nextOrder;
      }
    });
  }
  void await_resume() { subscription_ = {}; }

 private:
  std::shared_ptr<State> state_;
  std::int64_t duration_;
  CancellationToken token_;
  CancellationToken::Subscription subscription_;
};

ManualScheduler::ManualScheduler(vinaro::Date start) : state_(std::make_shared<State>()) { state_->start = start; }

// Sleeping coroutines still waiting are left suspended: resuming them here would run their
// owners' code against a scheduler that is going away.
ManualScheduler::~ManualScheduler() = default;

vinaro::Date ManualScheduler::now() const {
  return state_->start.addingSeconds(static_cast<double>(state_->elapsed) / 1'000'000.0 + state_->wallClockSteps);
}

MonotonicTime ManualScheduler::monotonicNow() const {
  return kMonotonicStart + std::chrono::microseconds(state_->elapsed);
}

QCoro::Task<> ManualScheduler::sleep(double seconds, CancellationToken token) {
  if (seconds <= 0 || token.isCancelled()) co_return;
  co_await SleepAwaiter(state_, microseconds(seconds), std::move(token));
}

RepeatingTimer ManualScheduler::repeat(double intervalSeconds, std::function<void()> tick) {
  // A zero interval would tick forever within one advance.
  const auto interval = std::max<std::int64_t>(microseconds(intervalSeconds), 1);
  const auto id = state_->add(state_->elapsed + interval, interval, std::move(tick));
  return RepeatingTimer([weak = std::weak_ptr<State>(state_), id] {
    if (auto state = weak.lock()) state->remove(id);
  });
}

void ManualScheduler::advance(double seconds) {
  const auto state = state_;  // a resumed coroutine may destroy the scheduler's owner
  const auto target = state->elapsed + microseconds(seconds);
  while (auto* entry = state->next(target)) {
    state->elapsed = std::max(state->elapsed, entry->due);
    if (auto* handle = std::get_if<std::coroutine_handle<>>(&entry->action)) {
      const auto resume = *handle;
      state->remove(entry->id);
      resume.resume();
    } else {
      auto tick = std::get<std::function<void()>>(entry->action);
      entry->due += entry->interval;
      entry->order = ++state->nextOrder;
      tick();  // may stop its own timer
    }
  }
  // What ran may have advanced time itself, past this target: time never goes back.
  state->elapsed = std::max(state->elapsed, target);
}

void ManualScheduler::stepWallClock(double seconds) { state_->wallClockSteps += seconds; }

int ManualScheduler::pendingCount() const { return static_cast<int>(state_->entries.size()); }

}  // namespace kovali
