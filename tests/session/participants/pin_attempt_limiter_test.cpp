#include "session/participants/pin_attempt_limiter.h"

#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>

namespace kovali {
namespace {

MonotonicTime at(double seconds) { return secondsAfter(MonotonicTime{}, seconds); }

/// `count` wrong PINs from `source`, one a second from `start`.
void fail(PINAttemptLimiter& limiter, const std::string& source, int count, double start) {
  for (int i = 0; i < count; ++i) limiter.recordFailure(source, at(start + i));
}

/// Hands out every turn due at `second`: `refused` hears of each attempt refused unread, `compared`
/// of the one compared.
void serveDue(PINAttemptLimiter& limiter, double second, const std::function<void(ConnectionID)>& refused,
              const std::function<void(ConnectionID)>& compared) {
  for (auto due = limiter.nextTurn(at(second)); due && *due <= at(second); due = limiter.nextTurn(at(second))) {
    const auto turn = limiter.serveTurn(at(second));
    for (const ConnectionID connection : turn.refused) refused(connection);
    if (turn.compared) compared(*turn.compared);
  }
}

/// `sources` addresses guessing from 0 s for `seconds`, each trying again a second after its
/// last answer unless locked, with one attempt at a time; those still waiting then are compared
/// at their turns. Answers how many were compared.
int guessFor(PINAttemptLimiter& limiter, int sources, int seconds) {
  const auto address = [](std::int64_t source) {
    return "10." + std::to_string(source / 250) + ".0." + std::to_string(source % 250);
  };
  std::map<std::string, double> nextAttempt;
  int compared = 0;
  const auto compare = [&](ConnectionID connection, double second) {
    ++compared;
    limiter.recordFailure(address(connection.raw), at(second));
    nextAttempt[address(connection.raw)] = second + 1;
  };
  double second = 0;
  const auto serve = [&] {
    serveDue(limiter, second, [&](ConnectionID connection) { nextAttempt[address(connection.raw)] = second + 1; },
             [&](ConnectionID connection) { compare(connection, second); });
  };
  for (; second < seconds; ++second) {
    serve();
    for (int source = 0; source < sources; ++source) {
      const std::string from = address(source);
      if (nextAttempt[from] > second || limiter.lockRemaining(from, at(second))) continue;
      const auto admitted = limiter.admit(ConnectionID{source}, from, at(second));
      switch (admitted.admission) {
        case PINAttemptLimiter::Admission::compareNow: compare(ConnectionID{source}, second); break;
        case PINAttemptLimiter::Admission::waitsInLine: nextAttempt[from] = 1e12; break;
        case PINAttemptLimiter::Admission::refused: nextAttempt[from] = second + 1; break;
      }
      if (admitted.displaced) nextAttempt[address(admitted.displaced->raw)] = second + 1;
    }
  }
  for (; limiter.nextTurn(at(second)); ++second) serve();
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

TEST(PINAttemptLimiter, EachFurtherLockLastsTwiceAsLongUpToFifteenMinutesUntilAnHourWithoutWrongPINs) {
  struct Step {
    double pauseSeconds;  // after the last lock ended
    double lock;
  } steps[] = {{0, 30},   {0, 60},   {0, 120},    {0, 240}, {0, 480},
               {0, 900},  {0, 900},  {2600, 900},  // not yet an hour since the last wrong PIN
               {3600, 30}, {0, 60}};
  PINAttemptLimiter limiter;
  double now = 0;
  for (const auto& step : steps) {
    now += step.pauseSeconds;
    fail(limiter, "10.0.0.7", 5, now);
    now += 4;
    EXPECT_EQ(limiter.lockRemaining("10.0.0.7", at(now)), step.lock) << "at " << now;
    now += step.lock;
  }
}

TEST(PINAttemptLimiter, TwentyWrongPINsAcrossTheHostMakeEveryAttemptNewOrKnownWaitItsTurn) {
  using Admission = PINAttemptLimiter::Admission;
  PINAttemptLimiter limiter;
  for (int source = 0; source < 4; ++source) fail(limiter, "10.0.0." + std::to_string(source), 4, source * 4.0);
  fail(limiter, "10.0.0.4", 3, 16);
  ASSERT_EQ(limiter.admit(ConnectionID{9}, "10.0.0.9", at(19)).admission, Admission::compareNow)
      << "nineteen slow nothing";

  // The twentieth, at 19 s, puts the host on guard, though no source has had five.
  EXPECT_TRUE(limiter.recordFailure("10.0.0.4", at(19)).guardsHost);
  EXPECT_EQ(limiter.lockRemaining("10.0.0.0", at(20)), std::nullopt) << "no source is locked";
  EXPECT_EQ(limiter.admit(ConnectionID{1}, "10.0.0.0", at(20)).admission, Admission::waitsInLine);
  EXPECT_EQ(limiter.nextTurn(at(20)), at(39)) << "the next turn is twenty seconds on";
  EXPECT_EQ(limiter.admit(ConnectionID{2}, "10.0.0.20", at(20)).admission, Admission::waitsInLine)
      << "a new source waits too, ahead of one that guessed";
  EXPECT_EQ(limiter.admit(ConnectionID{3}, "10.0.0.1", at(20)).admission, Admission::refused)
      << "a turn more than forty seconds away is none";
  EXPECT_EQ(limiter.admit(ConnectionID{4}, "10.0.0.0", at(30)).admission, Admission::refused) << "one place a source";
  EXPECT_FALSE(limiter.serveTurn(at(38)).compared);
  EXPECT_EQ(limiter.serveTurn(at(39)).compared, ConnectionID{2});
  EXPECT_EQ(limiter.nextTurn(at(40)), at(59));
  EXPECT_EQ(limiter.admit(ConnectionID{5}, "10.0.0.21", at(40)).admission, Admission::waitsInLine)
      << "ahead of the guesser, its turn at 59 s";
  const auto crowding = limiter.admit(ConnectionID{7}, "10.0.0.23", at(41));
  EXPECT_EQ(crowding.admission, Admission::waitsInLine) << "its turn at 79 s";
  EXPECT_EQ(crowding.displaced, ConnectionID{1}) << "the guesser's turn would be 58 s away: it is refused";
  EXPECT_EQ(limiter.serveTurn(at(59)).compared, ConnectionID{5});
  EXPECT_EQ(limiter.guessingSources(at(40)), 5u);

  EXPECT_TRUE(limiter.guardsHost(at(19 + 3600))) << "an hour without wrong PINs ends the guard";
  EXPECT_FALSE(limiter.guardsHost(at(20 + 3600)));
  EXPECT_EQ(limiter.admit(ConnectionID{6}, "10.0.0.22", at(20 + 3600)).admission, Admission::compareNow);
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
  for (int attempt = 0; attempt < 10; ++attempt) {
    comparedAtOnce += limiter.admit(ConnectionID{attempt}, "10.0.0.66", at(13)).admission ==
                      PINAttemptLimiter::Admission::compareNow;
  }
  EXPECT_EQ(comparedAtOnce, 0) << "it waits for a turn as every source does";
}

TEST(PINAttemptLimiter, EachTurnGoesToAPINWaitingOnALiveConnectionSoTheDJGetsInWhateverTheGuessersDo) {
  struct Case {
    const char* name;
    int addresses;               // guessing, each of its connections guessing anew at once when it has no place
    int hoarders;                // connections of each address
    bool hangUpBeforeTurns;      // each hangs up a second before every turn
    std::optional<double> lock;  // when the first address is locked by wrong PINs from elsewhere
    double djFrom;               // when a new device starts sending the right PIN, every 5 s
    double djInBy;               // by when it must be compared
    int djWrongPINs = 0;         // that the device sent before, one a second
    double djWrongFrom = 0;
    int guessedBefore = 0;       // wrong PINs of each guessing address before the guard, one a second
  } cases[] = {
      {"three connections hanging up before their turns", 1, 3, true, std::nullopt, 10, 10 + 90},
      {"three connections waiting for their turns", 1, 3, false, std::nullopt, 10, 10 + 90},
      {"one connection, its address locked while it waits", 1, 1, false, 12, 10, 24},
      // Each address is as new as the DJ's until its first turn.
      {"twelve addresses keeping the line full", 12, 1, false, std::nullopt, 10, 24 + 12 * 20 + 40 + 5},
      // It goes ahead of each once that one has had a wrong PIN compared later than its own.
      {"twelve addresses keeping the line full, and a device that mistyped once", 12, 1, false, std::nullopt, 10,
       24 + 12 * 20 + 40 + 5, 1},
      {"six addresses that guessed three times each, and a device that mistyped once", 6, 1, false, std::nullopt, 10,
       24, 1, 0, 3},
      {"six addresses that guessed three times each, and a device whose wrong PINs are over an hour old", 6, 1,
       false, std::nullopt, 10, 24, 4, -PINAttemptLimiter::hostWindowSeconds - 10, 3},
  };
  const auto address = [](int n) { return "10.0.0." + std::to_string(66 + n); };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    PINAttemptLimiter limiter;
    fail(limiter, "10.0.0.99", c.djWrongPINs, c.djWrongFrom);
    for (int n = 0; n < c.addresses; ++n) fail(limiter, address(n), c.guessedBefore, 0);
    for (int source = 0; source < 4; ++source) fail(limiter, "10.0.9." + std::to_string(source), 5, 0);
    ASSERT_TRUE(limiter.guardsHost(at(5)));
    const ConnectionID dj{1000};
    struct Hoarder {
      std::string address;
      bool hasPlace = false;
    };
    std::map<ConnectionID, Hoarder> hoarding;
    std::int64_t nextConnection = 0;
    for (int n = 0; n < c.addresses * c.hoarders; ++n) hoarding[ConnectionID{nextConnection++}] = {address(n % c.addresses)};
    std::optional<double> djIn;
    bool djWaits = false;
    int compared = 0;
    const auto unplace = [&](ConnectionID connection) {
      if (connection == dj) djWaits = false;
      if (const auto live = hoarding.find(connection); live != hoarding.end()) live->second.hasPlace = false;
    };
    for (double second = 5; !djIn && second <= c.djInBy + 60; ++second) {
      serveDue(limiter, second, unplace, [&](ConnectionID connection) {
        if (connection == dj) {
          djIn = second;
          return;
        }
        ++compared;
        limiter.recordFailure(hoarding.at(connection).address, at(second));
        unplace(connection);
      });
      for (int wrong = 0; c.lock == second && wrong < PINAttemptLimiter::allowedFailures; ++wrong) {
        limiter.recordFailure(address(0), at(second));
      }
      const bool turnComesNext = limiter.nextTurn(at(second)) == at(second + 1);
      for (const auto& [held, hoarder] : std::map(hoarding)) {
        ConnectionID connection = held;
        if (hoarder.hasPlace && c.hangUpBeforeTurns && turnComesNext) {
          limiter.leave(connection);
          hoarding.erase(connection);
          connection = ConnectionID{nextConnection++};
          hoarding[connection] = {hoarder.address};
        }
        if (hoarding[connection].hasPlace || limiter.lockRemaining(hoarder.address, at(second))) continue;
        const auto admitted = limiter.admit(connection, hoarder.address, at(second));
        if (admitted.admission == PINAttemptLimiter::Admission::compareNow) {
          ++compared;
          limiter.recordFailure(hoarder.address, at(second));
        }
        hoarding[connection].hasPlace = admitted.admission == PINAttemptLimiter::Admission::waitsInLine;
        if (admitted.displaced) unplace(*admitted.displaced);
      }
      if (second >= c.djFrom && !djWaits && static_cast<int>(second - c.djFrom) % 5 == 0) {
        const auto admitted = limiter.admit(dj, "10.0.0.99", at(second));
        if (admitted.admission == PINAttemptLimiter::Admission::compareNow) djIn = second;
        djWaits = admitted.admission == PINAttemptLimiter::Admission::waitsInLine;
        if (admitted.displaced) unplace(*admitted.displaced);
      }
    }
    if (!djIn) {
      ADD_FAILURE() << "the right PIN was never compared";
      continue;
    }
    EXPECT_LE(*djIn, c.djInBy);
    EXPECT_LE(compared, *djIn / PINAttemptLimiter::turnSeconds + 1) << "no more wrong PINs than the turns";
  }
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
