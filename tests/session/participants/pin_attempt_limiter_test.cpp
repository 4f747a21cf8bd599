#include "session/participants/pin_attempt_limiter.h"

#include <gtest/gtest.h>

#include <string>

namespace kovali {
namespace {

using vinaro::Date;

Date at(double seconds) { return Date::fromSecondsSince1970(seconds); }

/// `count` wrong PINs from `source`, one a second from `start`.
void fail(PINAttemptLimiter& limiter, const std::string& source, int count, double start) {
  for (int i = 0; i < count; ++i) limiter.recordFailure(source, at(start + i));
}

TEST(PINAttemptLimiter, LocksASourceForThirtySecondsAfterFiveWrongPINs) {
  PINAttemptLimiter limiter;
  fail(limiter, "10.0.0.7", 4, 0);
  EXPECT_EQ(limiter.lockRemaining("10.0.0.7", at(4)), std::nullopt) << "four wrong PINs lock nothing";

  EXPECT_TRUE(limiter.recordFailure("10.0.0.7", at(4)));
  EXPECT_EQ(limiter.lockRemaining("10.0.0.7", at(4)), 30.0);
  EXPECT_EQ(limiter.lockRemaining("10.0.0.7", at(24)), 10.0);
  EXPECT_EQ(limiter.lockRemaining("10.0.0.8", at(5)), std::nullopt) << "a second address is not held back";
  EXPECT_EQ(limiter.lockRemaining("10.0.0.7", at(34)), std::nullopt);
}

TEST(PINAttemptLimiter, WrongPINsSpreadOverMoreThanFiveMinutesLockNothing) {
  PINAttemptLimiter limiter;
  for (int i = 0; i < 10; ++i) EXPECT_FALSE(limiter.recordFailure("10.0.0.7", at(i * 80.0))) << "attempt " << i;
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

TEST(PINAttemptLimiter, TwentyWrongPINsAcrossTheHostPaceSourcesWithWrongPINsButNeverANewOne) {
  PINAttemptLimiter limiter;
  for (int source = 0; source < 4; ++source) fail(limiter, "10.0.0." + std::to_string(source), 4, source * 4.0);
  fail(limiter, "10.0.0.4", 3, 16);
  ASSERT_EQ(limiter.lockRemaining("10.0.0.0", at(19)), std::nullopt) << "nineteen slow nothing";

  // The twentieth, at 19 s, slows the host, though no source has had five.
  EXPECT_TRUE(limiter.recordFailure("10.0.0.4", at(19)));
  EXPECT_EQ(limiter.lockRemaining("10.0.0.0", at(20)), 4.0) << "one attempt every five seconds";
  EXPECT_EQ(limiter.lockRemaining("10.0.0.99", at(20)), std::nullopt) << "a source never seen is compared at once";
  EXPECT_EQ(limiter.lockRemaining("10.0.0.0", at(24)), std::nullopt);
  limiter.recordFailure("10.0.0.0", at(24));
  EXPECT_EQ(limiter.lockRemaining("10.0.0.1", at(25)), 4.0) << "that attempt took the next five seconds";
}

TEST(PINAttemptLimiter, ADJWithTheRightPINGetsInWhileAHundredAddressesKeepGuessing) {
  PINAttemptLimiter limiter;
  int comparedLate = 0;
  for (int second = 0; second < 120; ++second) {
    for (int source = 0; source < 100; ++source) {
      const std::string address = "10.0." + std::to_string(source / 250) + "." + std::to_string(source % 250);
      if (limiter.lockRemaining(address, at(second))) continue;
      limiter.recordFailure(address, at(second));
      if (second >= 60) ++comparedLate;
    }
    if (second == 90) {
      EXPECT_EQ(limiter.lockRemaining("10.0.9.9", at(second)), std::nullopt) << "the DJ";
    }
  }
  EXPECT_GT(comparedLate, 0) << "the guessing goes on";
  EXPECT_LE(comparedLate, 60 / PINAttemptLimiter::hostPaceSeconds + 1) << "but slowly";
}

TEST(PINAttemptLimiter, OneSourceCountsAtMostFiveTowardTheHost) {
  struct Case {
    const char* name;
    int sources;         // each fails five times in each of four rounds, waiting out its locks
    bool slowsEveryone;  // whether a source with one wrong PIN is then held back
  } cases[] = {
      {"one source, twenty wrong PINs", 1, false},
      {"three sources, sixty wrong PINs", 3, false},
      {"four sources, eighty wrong PINs", 4, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PINAttemptLimiter limiter;
    limiter.recordFailure("10.0.0.98", at(0));
    double now = 0;
    for (double lock : {30.0, 60.0, 120.0, 0.0}) {
      for (int source = 0; source < c.sources; ++source) {
        fail(limiter, "10.0.0." + std::to_string(source), 5, now);
        now += 5;
      }
      now += lock + 1;  // every source's lock is over
    }
    ASSERT_LT(now, PINAttemptLimiter::windowSeconds) << "all within one window";
    EXPECT_EQ(limiter.lockRemaining("10.0.0.98", at(now)).has_value(), c.slowsEveryone) << "at " << now;
    EXPECT_TRUE(limiter.lockRemaining("10.0.0.0", at(now)).has_value()) << "its own lock holds";
  }
}

TEST(PINAttemptLimiter, TheRightPINClearsTheCount) {
  PINAttemptLimiter limiter;
  fail(limiter, "10.0.0.7", 4, 0);
  limiter.recordSuccess("10.0.0.7");
  EXPECT_FALSE(limiter.recordFailure("10.0.0.7", at(5)));
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
