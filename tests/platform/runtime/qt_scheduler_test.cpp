#include "platform/runtime/qt_scheduler.h"

#include <optional>

#include <QTest>
#include <gtest/gtest.h>

namespace kovali {
namespace {

// Real time: each wait is bounded so that a fault fails the test instead of hanging it.

TEST(QtScheduler, SleepCompletesOnTheEventLoop) {
  QtScheduler scheduler;
  bool woke = false;
  auto sleeper = [&]() -> QCoro::Task<> {
    co_await scheduler.sleep(0.01);
    woke = true;
  };
  sleeper();
  EXPECT_FALSE(woke);
  EXPECT_TRUE(QTest::qWaitFor([&] { return woke; }, 5000));
}

TEST(QtScheduler, ACancelledSleepEndsEarlyButNotInsideCancel) {
  QtScheduler scheduler;
  CancellationSource source;
  std::optional<bool> cancelled;
  auto sleeper = [&]() -> QCoro::Task<> {
    co_await scheduler.sleep(3600, source.token());
    cancelled = source.isCancelled();
  };
  sleeper();

  source.cancel();
  EXPECT_FALSE(cancelled.has_value());
  ASSERT_TRUE(QTest::qWaitFor([&] { return cancelled.has_value(); }, 5000));
  EXPECT_TRUE(*cancelled);
}

TEST(QtScheduler, RepeatsUntilTheHandleGoes) {
  QtScheduler scheduler;
  int ticks = 0;
  std::optional<RepeatingTimer> timer = scheduler.repeat(0.005, [&] {
    if (++ticks == 3) timer.reset();  // stopping from inside the tick
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return ticks >= 3; }, 5000));
  QTest::qWait(50);
  EXPECT_EQ(ticks, 3);
}

TEST(QtScheduler, NowIsTheWallClock) {
  QtScheduler scheduler;
  const double before = static_cast<double>(QDateTime::currentMSecsSinceEpoch());
  const double now = scheduler.now().millisecondsSince1970;
  EXPECT_GE(now, before);
  EXPECT_LE(now, before + 60'000);
}

}  // namespace
}  // namespace kovali
