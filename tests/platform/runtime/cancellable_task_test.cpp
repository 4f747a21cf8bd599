#include "platform/runtime/cancellable_task.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/manual_scheduler.h"

namespace kovali {
namespace {

TEST(CancellationToken, RunsEachCallbackOnceWhenCancelled) {
  CancellationSource source;
  int calls = 0;
  auto subscription = source.token().onCancel([&] { ++calls; });

  source.cancel();
  source.cancel();

  EXPECT_EQ(calls, 1);
  EXPECT_TRUE(source.token().isCancelled());
}

TEST(CancellationToken, RunsACallbackAtOnceOnAnAlreadyCancelledToken) {
  CancellationSource source;
  source.cancel();
  int calls = 0;
  auto subscription = source.token().onCancel([&] { ++calls; });
  EXPECT_EQ(calls, 1);
}

TEST(CancellationToken, ForgetsACallbackWhoseSubscriptionWentAway) {
  CancellationSource source;
  int calls = 0;
  { auto subscription = source.token().onCancel([&] { ++calls; }); }
  auto moved = source.token().onCancel([&] { calls += 10; });
  auto kept = std::move(moved);

  source.cancel();

  EXPECT_EQ(calls, 10);
}

TEST(CancellationToken, ADefaultTokenIsNeverCancelled) {
  CancellationToken token;
  int calls = 0;
  auto subscription = token.onCancel([&] { ++calls; });
  EXPECT_FALSE(token.isCancelled());
  EXPECT_EQ(calls, 0);
}

/// Records how each started body ended.
struct Journal {
  std::vector<std::string> lines;
};

TEST(CancellableTask, StartingAnotherBodyCancelsTheRunningOne) {
  ManualScheduler scheduler;
  Journal journal;
  CancellableTask task;
  auto body = [&](std::string name) {
    return [&, name](CancellationToken token) -> QCoro::Task<> {
      co_await scheduler.sleep(10, token);
      journal.lines.push_back(name + (token.isCancelled() ? " cancelled" : " finished"));
    };
  };

  task.start(body("first"));
  task.start(body("second"));
  scheduler.advance(0);
  EXPECT_EQ(journal.lines, std::vector<std::string>{"first cancelled"});

  scheduler.advance(10);
  EXPECT_EQ(journal.lines, (std::vector<std::string>{"first cancelled", "second finished"}));
}

TEST(CancellableTask, CancelAndTheHoldersEndBothCancel) {
  ManualScheduler scheduler;
  Journal journal;
  auto body = [&](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler.sleep(10, token);
    journal.lines.push_back(token.isCancelled() ? "cancelled" : "finished");
  };

  CancellableTask task;
  task.start(body);
  task.cancel();
  EXPECT_FALSE(task.isActive());
  { CancellableTask dropped; dropped.start(body); }
  scheduler.advance(0);

  EXPECT_EQ(journal.lines, (std::vector<std::string>{"cancelled", "cancelled"}));
}

TEST(CancellableTask, KeepsTheBodysCapturesAliveAcrossSuspensions) {
  ManualScheduler scheduler;
  std::string seen;
  CancellableTask task;
  {
    auto text = std::make_unique<std::string>("still here");
    // The lambda is a temporary here; its capture must outlive the sleep.
    task.start([&, copy = *text](CancellationToken token) -> QCoro::Task<> {
      co_await scheduler.sleep(1, token);
      seen = copy;
    });
  }
  scheduler.advance(1);
  EXPECT_EQ(seen, "still here");
}

}  // namespace
}  // namespace kovali
