#include "support/manual_scheduler.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace kovali {
namespace {

struct Event {
  std::string what;
  double at;  // seconds since the scheduler's start
  bool operator==(const Event&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Event& event) { return out << event.what << "@" << event.at; }

class ManualSchedulerTest : public ::testing::Test {
 protected:
  double elapsed() const { return scheduler.now().secondsSince(start); }
  QCoro::Task<> sleeper(std::string name, double seconds, CancellationToken token = {}) {
    co_await scheduler.sleep(seconds, token);
    events.push_back({name + (token.isCancelled() ? " cancelled" : ""), elapsed()});
  }

  vinaro::Date start{1'000'000.0};
  ManualScheduler scheduler{start};
  std::vector<Event> events;
};

TEST_F(ManualSchedulerTest, RunsSleepsAndTicksInTimeOrderAtTheirMoments) {
  sleeper("a", 3);
  auto timer = scheduler.repeat(2, [&] { events.push_back({"tick", elapsed()}); });
  sleeper("b", 1);
  sleeper("c", 2);  // same moment as the first tick, scheduled after it

  scheduler.advance(5);

  EXPECT_EQ(events, (std::vector<Event>{{"b", 1}, {"tick", 2}, {"c", 2}, {"a", 3}, {"tick", 4}}));
  EXPECT_EQ(elapsed(), 5);
}

TEST_F(ManualSchedulerTest, RunsOnlyWhatFallsDue) {
  sleeper("late", 60);
  scheduler.advance(59.999);
  EXPECT_TRUE(events.empty());
  scheduler.advance(0.001);
  EXPECT_EQ(events, (std::vector<Event>{{"late", 60}}));
}

TEST_F(ManualSchedulerTest, AWallClockSetBackMovesNeitherTheMonotonicClockNorTheSleeps) {
  const MonotonicTime begin = scheduler.monotonicNow();
  sleeper("a", 2);
  scheduler.advance(1);
  scheduler.stepWallClock(-3600);
  EXPECT_EQ(elapsed(), 1 - 3600);
  scheduler.advance(1);
  EXPECT_EQ(events, (std::vector<Event>{{"a", 2 - 3600}}));
  EXPECT_EQ(secondsBetween(begin, scheduler.monotonicNow()), 2);
}

TEST_F(ManualSchedulerTest, RunsSleepsStartedDuringTheSameAdvance) {
  auto loop = [this]() -> QCoro::Task<> {
    for (int i = 0; i < 3; ++i) {
      co_await scheduler.sleep(1);
      events.push_back({"wake", elapsed()});
    }
  };
  loop();

  scheduler.advance(3.5);

  EXPECT_EQ(events, (std::vector<Event>{{"wake", 1}, {"wake", 2}, {"wake", 3}}));
  EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST_F(ManualSchedulerTest, EndsACancelledSleepAtTheNextAdvanceNotInsideCancel) {
  CancellationSource source;
  sleeper("restart", 30, source.token());

  source.cancel();
  EXPECT_TRUE(events.empty());
  scheduler.advance(0);

  EXPECT_EQ(events, (std::vector<Event>{{"restart cancelled", 0}}));
  EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST_F(ManualSchedulerTest, ZeroSecondsAndCancelledTokensDoNotSuspend) {
  CancellationSource source;
  source.cancel();
  sleeper("zero", 0);
  sleeper("cancelled", 5, source.token());
  EXPECT_EQ(events, (std::vector<Event>{{"zero", 0}, {"cancelled cancelled", 0}}));
}

TEST_F(ManualSchedulerTest, StopsTicksWhenTheHandleGoesEvenFromItsOwnTick) {
  std::optional<RepeatingTimer> timer;
  int ticks = 0;
  timer = scheduler.repeat(1, [&] {
    if (++ticks == 2) timer.reset();
  });

  scheduler.advance(10);

  EXPECT_EQ(ticks, 2);
  EXPECT_EQ(scheduler.pendingCount(), 0);
}

TEST_F(ManualSchedulerTest, MovingTheHandleKeepsTheTimer) {
  int ticks = 0;
  RepeatingTimer kept;
  {
    auto timer = scheduler.repeat(1, [&] { ++ticks; });
    kept = std::move(timer);
  }
  scheduler.advance(2);
  kept.stop();
  scheduler.advance(2);
  EXPECT_EQ(ticks, 2);
}

}  // namespace
}  // namespace kovali
