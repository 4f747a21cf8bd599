#include "session/participants/pin_attempt_limiter.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace kovali {
namespace {

MonotonicTime at(double seconds) { return secondsAfter(MonotonicTime{}, seconds); }

/// `count` wrong PINs from `source`, one a second from `start`.
void fail(PINAttemptLimiter& limiter, const std::string& source, int count, double start) {
  for (int i = 0; i < count; ++i) limiter.recordFailure(source, at(start + i));
}

/// `sources` addresses guessing from 0 s for `seconds`, each trying again a second after its
/// last answer unless locked, with one attempt at a time; those still waiting then are compared
/// at their turns. Answers how many were compared.
int guessFor(PINAttemptLimiter& limiter, int sources, int seconds) {
  std::multimap<double, std::string> waiting;  // by turn
  std::map<std::string, double> nextAttempt;
  int compared = 0;
  const auto compareDue = [&](double until) {
    for (auto due = waiting.begin(); due != waiting.end() && due->first <= until; due = waiting.erase(due)) {
      ++compared;
      limiter.recordFailure(due->second, at(due->first));
      nextAttempt[due->second] = due->first + 1;
    }
  };
  for (int second = 0; second < seconds; ++second) {
    compareDue(second);
    for (int source = 0; source < sources; ++source) {
      const std::string address = "10." + std::to_string(source / 250) + ".0." + std::to_string(source % 250);
      if (nextAttempt[address] > second || limiter.lockRemaining(address, at(second))) continue;
      const auto turn = limiter.takeTurn(at(second));
      nextAttempt[address] = turn ? 1e12 : second + 1;
      if (turn) waiting.emplace(secondsBetween(at(0), *turn), address);
      compareDue(second);  // a turn of this moment is compared at once
    }
  }
  compareDue(1e12);
  return compared;
}

TEST(PINAttemptLimiter, LocksASourceForThirtySecondsAfterFiveWrongPINs) {
  PINAttemptLimiter limiter;
  fail(limiter, "10.0.0.7", 4, 0);
  EXPECT_EQ(limiter.lockRemaining("10.0.0.7", at(4)), std::nullopt) << "four wrong PINs lock nothing";

  EXPECT_TRUE(limiter.recordFailure("10.0.0.7", at(4)).lockedSource);
  EXPECT_EQ(limiter.lockRemaining("10.0.0.7", at(4)), 30.0);
  EXPECT_EQ(limiter.lockRemaining("10.0.0.7", at(24)), 10.0);
  EXPECT_EQ(limiter.lockRemaining("10.0.0.8", at(5)), std::nullopt) << "a second address is not held back";
  EXPECT_EQ(limiter.lockRemaining("10.0.0.7", at(34)), std::nullopt);
}

TEST(PINAttemptLimiter, WrongPINsSpreadOverMoreThanFiveMinutesLockNothing) {
  PINAttemptLimiter limiter;
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(limiter.recordFailure("10.0.0.7", at(i * 80.0)).lockedSource) << "attempt " << i;
  EXPECT_EQ(limiter.lockRemaining("10.0.0.7", at(800)), std::nullopt);
}

TEST(PINAttemptLimiter, EachFurtherLockLastsTwiceAsLongUpToFifteenMinutes) {
  PINAttemptLimiter limiter;
  double now = 0;
  for (double expected : {30.0, 60.0, 120.0, 240.0, 480.0, 900.0, 900.0}) {
    fail(limiter, "10.0.0.7", 5, now);
    now += 4;
    EXPECT_EQ(limiter.lockRemaining("10.0.0.7", at(now)), expected) << "at " << now;
    now += expected;
  }
}

TEST(PINAttemptLimiter, TwentyWrongPINsAcrossTheHostMakeEveryAttemptNewOrKnownWaitItsTurn) {
  PINAttemptLimiter limiter;
  for (int source = 0; source < 4; ++source) fail(limiter, "10.0.0." + std::to_string(source), 4, source * 4.0);
  fail(limiter, "10.0.0.4", 3, 16);
  ASSERT_EQ(limiter.takeTurn(at(19)), at(19)) << "nineteen slow nothing";

  // The twentieth, at 19 s, puts the host on guard, though no source has had five.
  EXPECT_TRUE(limiter.recordFailure("10.0.0.4", at(19)).guardsHost);
  EXPECT_EQ(limiter.lockRemaining("10.0.0.0", at(20)), std::nullopt) << "no source is locked";
  EXPECT_EQ(limiter.takeTurn(at(20)), at(39)) << "the next turn is twenty seconds on";
  EXPECT_EQ(limiter.takeTurn(at(20)), at(59)) << "a source never seen waits as well";
  EXPECT_EQ(limiter.takeTurn(at(20)), std::nullopt) << "a turn more than forty seconds away is none";
  EXPECT_EQ(limiter.takeTurn(at(40)), at(79));
  EXPECT_EQ(limiter.guessingSources(at(40)), 5u);

  EXPECT_TRUE(limiter.guardsHost(at(19 + 3600))) << "an hour without wrong PINs ends the guard";
  EXPECT_FALSE(limiter.guardsHost(at(20 + 3600)));
  EXPECT_EQ(limiter.takeTurn(at(20 + 3600)), at(20 + 3600));
}

TEST(PINAttemptLimiter, ManySourcesTakingTurnsGetNoMoreComparisonsThanTheTurnsBeyondTheMemory) {
  struct Case {
    const char* name;
    int sources;
  } cases[] = {
      {"a hundred sources", 100},
      {"every source remembered", static_cast<int>(PINAttemptLimiter::maxSources)},
      {"more sources than are remembered", 600},
      {"far more sources than are remembered", 2000},
  };
  constexpr int kSeconds = 600;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PINAttemptLimiter limiter;
    const int compared = guessFor(limiter, c.sources, kSeconds);
    const double turns = (kSeconds + PINAttemptLimiter::longestWaitSeconds) / PINAttemptLimiter::turnSeconds;
    EXPECT_LE(compared, PINAttemptLimiter::allowedHostFailures + turns) << "in " << kSeconds << " s";
    EXPECT_GE(compared, kSeconds / PINAttemptLimiter::turnSeconds) << "every turn is used";
    EXPECT_LE(limiter.rememberedSources(), PINAttemptLimiter::maxSources);
  }
}

TEST(PINAttemptLimiter, ForgettingALockedGuesserGivesItNoComparisonOutOfTurn) {
  PINAttemptLimiter limiter;
  fail(limiter, "10.0.0.66", 5, 0);
  ASSERT_TRUE(limiter.lockRemaining("10.0.0.66", at(5)));

  // A table full of idle sources: the newcomers push those out, not the guesser.
  for (std::size_t i = 0; i < PINAttemptLimiter::maxSources + 10; ++i) {
    limiter.recordFailure("idle-" + std::to_string(i), at(6));
  }
  EXPECT_TRUE(limiter.lockRemaining("10.0.0.66", at(7)).has_value()) << "still locked";

  // A table full of locked sources forgets the guesser; then it only gets what any source gets.
  for (std::size_t i = 0; i < PINAttemptLimiter::maxSources; ++i) fail(limiter, "locked-" + std::to_string(i), 5, 8);
  ASSERT_EQ(limiter.lockRemaining("10.0.0.66", at(13)), std::nullopt) << "forgotten";
  ASSERT_TRUE(limiter.guardsHost(at(13)));
  int comparedAtOnce = 0;
  for (int attempt = 0; attempt < 10; ++attempt) comparedAtOnce += limiter.takeTurn(at(13)) == at(13) ? 1 : 0;
  EXPECT_EQ(comparedAtOnce, 0) << "it waits for a turn as every source does";
}

TEST(PINAttemptLimiter, OneSourceCountsAtMostFiveTowardTheHostWithinAnHour) {
  struct Case {
    const char* name;
    int sources;         // each fails five times in each of four rounds, waiting out its locks
    double gapSeconds;   // between one source's five and the next source's
    bool slowsEveryone;  // whether the host is then on guard
  } cases[] = {
      {"one source, twenty wrong PINs", 1, 0, false},
      {"three sources, sixty wrong PINs", 3, 0, false},
      {"four sources, eighty wrong PINs", 4, 0, true},
      {"four sources fifteen minutes apart", 4, 900, true},
      {"four sources twenty minutes apart", 4, 1200, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PINAttemptLimiter limiter;
    limiter.recordFailure("10.0.0.98", at(0));
    const std::string last = "10.0.0." + std::to_string(c.sources - 1);
    double now = 0;
    for (double lock : {30.0, 60.0, 120.0, 0.0}) {
      for (int source = 0; source < c.sources; ++source) {
        fail(limiter, "10.0.0." + std::to_string(source), 5, now);
        now += 5;
        if (lock == 0 && source == c.sources - 1) {
          EXPECT_TRUE(limiter.lockRemaining(last, at(now)).has_value()) << "its own lock holds";
        }
        now += c.gapSeconds;
      }
      now += lock + 1;  // every source's lock is over
    }
    EXPECT_EQ(limiter.guardsHost(at(now - c.gapSeconds)), c.slowsEveryone) << "at " << now;
  }
}

TEST(PINAttemptLimiter, TheRightPINClearsTheCount) {
  PINAttemptLimiter limiter;
  fail(limiter, "10.0.0.7", 4, 0);
  limiter.recordSuccess("10.0.0.7");
  EXPECT_FALSE(limiter.recordFailure("10.0.0.7", at(5)).lockedSource);
  EXPECT_EQ(limiter.lockRemaining("10.0.0.7", at(5)), std::nullopt);
}

TEST(PINAttemptLimiter, RemembersABoundedNumberOfSources) {
  PINAttemptLimiter limiter;
  for (std::size_t i = 0; i < PINAttemptLimiter::maxSources + 100; ++i) {
    limiter.recordFailure("source-" + std::to_string(i), at(static_cast<double>(i) * 20));
  }
  EXPECT_EQ(limiter.rememberedSources(), PINAttemptLimiter::maxSources);
}

TEST(PINAttemptLimiter, CountsEveryAddressOnItsOwnIPv6AsIPv4) {
  EXPECT_EQ(PINAttemptLimiter::sourceOf(QHostAddress("192.168.1.20")), "192.168.1.20");
  EXPECT_EQ(PINAttemptLimiter::sourceOf(QHostAddress("::ffff:192.168.1.20")), "192.168.1.20");
  const auto guesser = PINAttemptLimiter::sourceOf(QHostAddress("fd00:1::1"));
  const auto dj = PINAttemptLimiter::sourceOf(QHostAddress("fd00:1::2"));
  EXPECT_NE(guesser, dj);
  EXPECT_EQ(PINAttemptLimiter::sourceOf(QHostAddress("fe80::1%eth0")), PINAttemptLimiter::sourceOf(QHostAddress("fe80::1")));

  PINAttemptLimiter limiter;
  fail(limiter, guesser, 5, 0);
  EXPECT_TRUE(limiter.lockRemaining(guesser, at(5)).has_value());
  EXPECT_EQ(limiter.lockRemaining(dj, at(5)), std::nullopt) << "the DJ on the same network gets in";
}

}  // namespace
}  // namespace kovali
