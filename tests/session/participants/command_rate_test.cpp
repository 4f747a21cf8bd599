#include "session/participants/command_rate.h"

#include <gtest/gtest.h>

#include <vector>

namespace kovali {
namespace {

TEST(CommandRateTest, AllowsBurstsUpToTheCapAndRefillsAtTheRateFromTheLastCommand) {
  struct Round {
    double after;  // seconds after the round before
    int sent;
    int accepted;
  };
  struct Case {
    const char* name;
    CommandRate rate;
    std::vector<Round> rounds;
  } cases[] = {
      {"a fresh phone gets its burst", CommandRate::forChanges(), {{0, 30, 20}}},
      {"a phone idle for a minute gets no more than its burst", CommandRate::forChanges(), {{0, 1, 1}, {60, 300, 20}}},
      {"flooding, waiting a second and flooding again gets a second's worth each time",
       CommandRate::forChanges(),
       {{0, 30, 20}, {1, 30, 10}, {1, 30, 10}, {0.5, 30, 5}}},
      {"sending at the rate, every command passes",
       CommandRate::forChanges(),
       {{0, 20, 20}, {0.1, 1, 1}, {0.1, 1, 1}, {0.1, 1, 1}, {0.05, 1, 0}}},
      {"reads have a rate and burst of their own", CommandRate::forReads(), {{0, 50, 40}, {1, 50, 20}}},
  };
  for (auto& c : cases) {
    MonotonicTime now{std::chrono::hours(1)};
    for (std::size_t round = 0; round < c.rounds.size(); ++round) {
      const Round& r = c.rounds[round];
      now = secondsAfter(now, r.after);
      int accepted = 0;
      for (int i = 0; i < r.sent; ++i) accepted += c.rate.take(now) ? 1 : 0;
      EXPECT_EQ(accepted, r.accepted) << c.name << ", round " << round;
    }
  }
}

}  // namespace
}  // namespace kovali
