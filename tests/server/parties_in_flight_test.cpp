// The old parties that sockets hold, in virtual time: only phones that are not reading theirs are
// named, but for the ceiling, and a party is its shared bytes.

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <vector>

#include <QCoreApplication>
#include <QSignalSpy>
#include <gtest/gtest.h>

#include "server/guest_limits.h"
#include "server/parties_in_flight.h"
#include "support/manual_scheduler.h"

namespace kovali {
namespace {

/// The account only tells holders apart; it never touches them.
std::array<char, 32> places;
GuestConnection* holder(int index) { return reinterpret_cast<GuestConnection*>(&places.at(index)); }

/// One phone holding an old party, whose newer one waits.
struct Reader {
  qint64 oldParty;
  qint64 perSecond;       // what it reads
  int stopsAfter;         // seconds; it reads nothing after
  bool starved = false;   // its socket left without bytes for it, as by a busy host
  qint64 readBefore = 0;  // of its old party, before it is watched
  int emptiedAt = -1;     // the second its socket has sent all it holds, none of it acknowledged yet
  int ackedEvery = 1;     // seconds between the system's acknowledgements of what it read
  qint64 ahead = 0;       // acknowledged beyond what it read as its party began, its system's buffer full
  int sharesWith = -1;    // the reader whose old party its socket holds too, rather than one of its own
  bool itsNewest = false;  // the party its socket holds is the newest it was given, no old one
  bool nextBehind = false; // an old party as large waits in its socket behind that one
  qint64 thenPerSecond = 0;  // what it reads once it stops reading `perSecond`
  int from = 0;              // the second its socket takes its party
  bool dj = false;           // the DJ's phone, which the ceiling spares
};

/// `count` readers like `reader`, the first with a party of its own and the others sharing it.
std::vector<Reader> sharing(int count, Reader reader, int first) {
  std::vector<Reader> readers(static_cast<std::size_t>(count), reader);
  for (std::size_t i = 1; i < readers.size(); ++i) readers[i].sharesWith = first;
  return readers;
}

std::vector<Reader> operator+(std::vector<Reader> a, const std::vector<Reader>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct NamedCase {
  const char* name;
  std::vector<Reader> readers;
  int seconds;
  std::vector<int> letGo;  // the holders named as the host looks each second, each let go before the next
  qint64 ceiling = GuestLimits::oldPartiesCeilingBytes;
};

TEST(PartiesInFlight, OnlyAPhoneNotReadingItsOldPartiesOrTooSlowToFinishThemInTimeIsNamedBelowTheCeiling) {
  constexpr int watch = static_cast<int>(GuestLimits::notReadingSeconds), always = 1'000;
  constexpr qint64 party = 4'000'000;
  const Reader fastFromItsStart{party, 200'000, always};
  const Reader slowMidParty{party, 30'000, always, false, 1'000'000};
  const Reader djMidParty{party, 2'000'000, always, false, 1'500'000};
  const Reader guestMidParty{party, 40'000, always, false, 2'000'000};
  const Reader tookNothing{party, 0, 0};
  const NamedCase cases[] = {
      {"the heaviest reads on at 50 KB/s, the other stopped",
       {{party, 50'000, always}, {1'000'000, 0, 0}},
       2 * watch,
       {1}},
      {"the heaviest too slow to finish in time",
       {{party, 20'000, always}, {1'000'000, 50'000, always}},
       2 * watch,
       {0}},
      {"both read on", {{party, 50'000, always}, {1'000'000, 50'000, always}}, 2 * watch, {}},
      {"both stopped, not for long yet", {{party, 0, 0}, {1'000'000, 0, 0}}, watch - 1, {}},
      {"both stopped for long enough", {{party, 0, 0}, {1'000'000, 0, 0}}, watch, {0, 1}},
      {"the heaviest read fast, then stopped", {{party, 200'000, watch + 5}, {1'000'000, 0, 0}}, 2 * watch + 5, {1, 0}},
      {"the heaviest given nothing to read", {{party, 0, 0, true}, {1'000'000, 0, 0}}, 2 * watch, {1}},
      {"the heaviest stalled, had what it held sent, then stalled again, not for long yet",
       {{party, 200'000, 5, false, 0, 13}, {1'000'000, 0, 0}},
       19,
       {1}},
      {"the heaviest read most of its party and slowly finishes the rest in time",
       {{party, 10'000, always, false, 3'500'000}, {1'000'000, 0, 0}},
       2 * watch,
       {1}},
      // The system acknowledges a small window in bursts: the pace is what was taken by the last.
      {"40 KB/s acknowledged 360 KB at a time, 9 s apart",
       {{4'050'000, 40'000, always, false, 0, -1, 9}},
       6 * watch,
       {}},
      {"40 KB/s acknowledged every 3 s, 128 KB of it before the party began",
       {{4'050'000, 40'000, always, false, 0, -1, 3, 128'000}},
       6 * watch,
       {}},
      {"34 KB/s through its oldest party while the system holds the start of the next",
       {{4'200'000, 34'000, always, false, 0, -1, 3, 0, -1, false, true}},
       6 * watch,
       {}},
      {"25 KB/s acknowledged 225 KB at a time, 9 s apart, too slow",
       {{4'050'000, 25'000, always, false, 0, -1, 9}},
       2 * watch,
       {0}},
      {"40 KB/s through a 6.1 MB party, longer than 2 minutes, acknowledged every 3 s",
       {{6'100'000, 40'000, always, false, 0, -1, 3}},
       12 * watch,
       {}},
      {"28 KB/s through a 10 MB party", {{10'000'000, 28'000, always}}, 30 * watch, {}},
      {"20 KB/s through a 10 MB party, ever further behind", {{10'000'000, 20'000, always}}, 30 * watch, {0}},
      {"25 KB/s through a 3.25 MB party: under 2 minutes left once its pace is judged, over 2 minutes in all",
       {{3'250'000, 25'000, always}},
       3 * watch,
       {0}},
      {"both read on, past the ceiling: the one keeping the more for as long, though it has less left to read",
       {{party, 10'000, always, false, 3'500'000}, {1'000'000, 20'000, always}},
       2 * watch,
       {0},
       4'999'999},
      {"both read on, at the ceiling",
       {{party, 10'000, always, false, 3'500'000}, {1'000'000, 20'000, always}},
       2 * watch,
       {},
       5'000'000},
      {"past the ceiling, a fast phone that just began its party stays and a slow one with less left goes",
       {{party, 1'000'000, always}, {party, 50'000, always, false, 2'000'000}},
       2,
       {1},
       2 * party - 1},
      {"past the ceiling, ten fast phones sharing a party stay and one of eleven slow ones each with its own goes",
       sharing(10, fastFromItsStart, 0) + std::vector<Reader>(11, slowMidParty),
       2,
       {10},
       12 * party - 1},
      {"past the ceiling, of a fast phone, a slower one sharing its party and one alone, only the one alone goes",
       {fastFromItsStart,
        {party, 40'000, always, false, 1'000'000, -1, 1, 0, 0},
        {party, 45'000, always, false, 1'000'000}},
       2,
       {2},
       2 * party - 1},
      {"past the ceiling, four sharing a party, 3.1 MB left each, go together before a phone alone with 0.8 MB left",
       sharing(4, {party, 50'000, always, false, 900'000}, 0) + std::vector<Reader>{{party, 40'000, always, false, 3'200'000}},
       2, {0, 1, 2, 3}, 2 * party - 1},
      {"past the ceiling, a slow phone reading its newest party costs nothing, and one with an old party goes",
       {{party, 10'000, always, false, 0, -1, 1, 0, -1, true}, guestMidParty},
       2, {1}, party - 1},
      {"past the ceiling, holders that took nothing go, and the DJ mid-party and 40 KB/s guests stay within it",
       std::vector<Reader>{djMidParty} + std::vector<Reader>(3, guestMidParty) + std::vector<Reader>(3, tookNothing),
       2, {4, 5, 6}, 4 * party},
      {"past the ceiling, the DJ sharing its party with two that took nothing: they go, and as the DJ's party counts "
       "until it is read, the guest keeping its own longer goes, not the DJ",
       std::vector<Reader>{djMidParty} + std::vector<Reader>(2, {party, 0, 0, false, 0, -1, 1, 0, 0}) +
           std::vector<Reader>{guestMidParty},
       2, {1, 2, 3}, 2 * party - 1},
      {"past the ceiling, one that read its party fast to its last 400 KB and trickles 1.5 KB/s goes before honest "
       "40 KB/s phones",
       std::vector<Reader>{{.oldParty = party, .perSecond = 3'600'000, .stopsAfter = 1, .thenPerSecond = 1'500}} +
           std::vector<Reader>(2, {party, 40'000, always}) +
           std::vector<Reader>{{.oldParty = party, .perSecond = 40'000, .stopsAfter = always, .from = 25}},
       25, {0}, 3 * party},
      {"past the ceiling, holders a second from the end of their parties count until they have read them",
       std::vector<Reader>(3, {party, 100'000, 1, false, party - 165'000}),
       1, {0, 1}, 2 * party - 1},
      {"past the ceiling, the DJ's phone on slow Wi-Fi is spared and the guest keeping less goes",
       {{.oldParty = party, .perSecond = 30'000, .stopsAfter = always, .dj = true}, guestMidParty},
       2, {1}, party - 1},
      {"the DJ's phone that stopped reading goes all the same",
       {{.oldParty = party, .perSecond = 0, .stopsAfter = 0, .dj = true}},
       watch, {0}},
      {"past the ceiling, two slow phones sharing a party go before a fast phone keeping its own",
       {{party, 1'000'000, always}, slowMidParty, {party, 30'000, always, false, 1'000'000, -1, 1, 0, 1}},
       2,
       {1, 2},
       2 * party - 1},
  };
  for (const auto& c : cases) {
    ManualScheduler scheduler;
    PartiesInFlight account(0, scheduler);
    account.setCeiling(c.ceiling);
    const QByteArray newest(1'000, 'n');
    std::vector<QByteArray> old(c.readers.size()), next(c.readers.size());
    std::vector<qint64> read(c.readers.size()), taken(c.readers.size());
    qint64 oldBytes = 0;
    std::vector<int> letGo;
    for (int second = 0; second <= c.seconds; ++second) {
      for (std::size_t i = 0; i < c.readers.size(); ++i) {
        const Reader& reader = c.readers[i];
        if (second == 0) {
          old[i] = reader.sharesWith < 0 ? QByteArray(static_cast<qsizetype>(reader.oldParty), 'o')
                                         : old[static_cast<std::size_t>(reader.sharesWith)];
          if (reader.sharesWith < 0 && !reader.itsNewest && reader.from == 0) oldBytes += reader.oldParty;
          if (reader.nextBehind) {
            next[i] = QByteArray(static_cast<qsizetype>(reader.oldParty), 'b');
            oldBytes += reader.oldParty;
          }
          read[i] = reader.readBefore;
          taken[i] = reader.readBefore + reader.ahead;
        }
        if (second > 0) read[i] += second <= reader.stopsAfter ? reader.perSecond : reader.thenPerSecond;
        if (second % reader.ackedEvery == 0) taken[i] = std::max(taken[i], read[i]);
        if (second == 0 && reader.dj) account.spare(holder(static_cast<int>(i)), true);
        if (second < reader.from || std::find(letGo.begin(), letGo.end(), static_cast<int>(i)) != letGo.end()) continue;
        std::vector<OutgoingBacklog::InSocket> inSocket{{old[i], reader.oldParty}};
        if (reader.nextBehind) inSocket.push_back({next[i], 2 * reader.oldParty});
        account.update(holder(static_cast<int>(i)), {inSocket, reader.itsNewest ? old[i] : newest, taken[i]},
                       {taken[i], !reader.starved && second != reader.emptiedAt});
      }
      if (second == 0) {
        EXPECT_EQ(account.oldBytes(), oldBytes) << c.name;
      }
      while (const auto named = account.heaviest()) {
        ASSERT_LT(letGo.size(), c.readers.size()) << c.name << ": named again after it went";
        for (GuestConnection* goes : named->holders) {
          letGo.push_back(static_cast<int>(reinterpret_cast<char*>(goes) - places.data()));
          account.forget(goes);
        }
      }
      if (second < c.seconds) scheduler.advance(1);
    }
    EXPECT_EQ(letGo, c.letGo) << c.name;
  }
}

TEST(PartiesInFlight, APaceIsNoFasterThanWhatThePhoneTookSinceItsOldestPartyBeganAndFallsWhileItTakesNothing) {
  constexpr qint64 party = 4'000'000;
  constexpr double infinite = std::numeric_limits<double>::infinity();
  struct Step {
    double after;  // seconds
    qint64 taken;  // in all
    bool waiting = true;
    bool anotherBehind = false;  // a newer party goes into its socket behind what it reads
    bool oldestDone = false;     // it has read its oldest party
  };
  // A reading a second, the host looking as it does while over budget, from `from` to `to` taken.
  const auto steadily = [](int seconds, qint64 from, qint64 to) {
    std::vector<Step> steps;
    for (int second = 1; second <= seconds; ++second) steps.push_back({1, from + (to - from) * second / seconds});
    return steps;
  };
  const auto then = [](std::vector<Step> first, const std::vector<Step>& next) {
    first.insert(first.end(), next.begin(), next.end());
    return first;
  };
  const struct Case {
    const char* name;
    std::vector<Step> steps;
    double pace;
  } cases[] = {
      {"took 2 MB in 2 s, then nothing for 9 s", then({{0, 0}}, then(steadily(2, 0, 2'000'000), steadily(9, 2'000'000, 2'000'000))),
       2e6 / 11},
      {"took nothing for 5 s since its party began", then({{0, 0}}, steadily(5, 0, 0)), 0},
      {"nothing waited for it", {{0, 0, false}, {5, 300'000, false}}, infinite},
      {"read its first party fast, then trickles through the next",
       then({{0, 0, true, true}, {1, party, true, false, true}}, steadily(10, party, party + 100'000)),
       10'000},
      {"a party goes into its socket behind the one it reads",
       then(then({{0, 0}}, steadily(20, 0, 200'000)), {{0, 200'000, true, true}, {1, 1'200'000}}),
       1.2e6 / 21},
      {"a window taken at once is no pace: over a second at least", {{0, 0}, {0.1, 64'000}}, 64'000},
      {"read 40 KB/s, then read 8 s later by a host too busy to fill its socket",
       then(then({{0, 0}}, steadily(20, 0, 800'000)), {{8, 880'000}}),
       880e3 / (20 + GuestLimits::readingsAtMostSeconds)},
  };
  for (const auto& c : cases) {
    ManualScheduler scheduler;
    PartiesInFlight account(0, scheduler);
    std::vector<OutgoingBacklog::InSocket> inSocket{{QByteArray(party, 'o'), party}};
    const QByteArray newest(10, 'n');
    for (const Step& step : c.steps) {
      scheduler.advance(step.after);
      if (step.anotherBehind) inSocket.push_back({QByteArray(party, 'b'), inSocket.back().end + party});
      if (step.oldestDone) inSocket.erase(inSocket.begin());
      account.update(holder(0), {inSocket, newest, step.taken}, {step.taken, step.waiting});
    }
    const double pace = account.standing(holder(0)).pace;
    if (std::isinf(c.pace)) {
      EXPECT_TRUE(std::isinf(pace)) << c.name << ": " << pace;
    } else {
      EXPECT_NEAR(pace, c.pace, c.pace / 100 + 1e-9) << c.name;
    }
  }
}

TEST(PartiesInFlight, APhoneIsWaitedOnOnlyForWhatTheSystemCannotSendIt) {
  struct Case {
    const char* name;
    qint64 unacknowledged, unsent;
    PartiesInFlight::Reading reading;
  } cases[] = {
      {"all of it acknowledged", 0, 0, {1'000, false}},
      {"some in flight, the phone's window open", 300, 0, {700, false}},
      {"some held back by the phone's window", 300, 200, {700, true}},
  };
  for (const auto& c : cases) {
    const auto reading = PartiesInFlight::Reading::ofSocket(1'000, c.unacknowledged, c.unsent);
    EXPECT_EQ(reading.taken, c.reading.taken) << c.name;
    EXPECT_EQ(reading.waiting, c.reading.waiting) << c.name;
  }
}

TEST(PartiesInFlight, APartyIsItsSharedBytesNotWhatTheyRead) {
  ManualScheduler scheduler;
  PartiesInFlight account(0, scheduler);
  const QByteArray party(1'000, 'p');
  const QByteArray sameText(party.constData(), party.size());
  account.update(holder(0), {{{party, 1'000}}, party, 0}, {});
  EXPECT_EQ(account.oldBytes(), 0) << "the party its socket is sending is its newest";
  account.update(holder(0), {{{party, 1'000}}, sameText, 0}, {});
  EXPECT_EQ(account.oldBytes(), 1'000) << "a newer party that reads the same";
  account.forget(holder(0));
  EXPECT_EQ(account.oldBytes(), 0);
}

TEST(PartiesInFlight, TheBudgetIsLookedAtOnceOverAndEverySecondAndTheCeilingAsSoonAsItIsCrossed) {
  ManualScheduler scheduler;
  PartiesInFlight account(1'000, scheduler);
  account.setCeiling(2'500);
  QSignalSpy looks(&account, &PartiesInFlight::budgetExceeded);
  const QByteArray newest(10, 'n');
  std::vector<QByteArray> old;
  struct Step {
    const char* name;
    double after;  // seconds
    bool holdsOneMore;
    int looks;           // in all since the start
    bool again = false;  // it lets go of the last one and takes it up once more in the same pass
  } steps[] = {
      {"at the budget", 0, true, 0},
      {"over it", 0, true, 1},
      {"half a second on", 0.5, false, 1},
      {"past the ceiling", 0, true, 2},
      {"a second since it went over", 0.5, false, 3},
      {"below the ceiling and past it again, twice in one pass", 0, false, 4, true},
  };
  for (const auto& step : steps) {
    scheduler.advance(step.after);
    const auto holdTheLast = [&] {
      account.update(holder(static_cast<int>(old.size())), {{{old.back(), 1'000}}, newest, 0}, {});
    };
    if (step.holdsOneMore) {
      old.emplace_back(1'000, 'o');
      holdTheLast();
    }
    for (int time = 0; step.again && time < 2; ++time) {
      account.forget(holder(static_cast<int>(old.size())));
      holdTheLast();
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(looks.size(), step.looks) << step.name;
  }
}

}  // namespace
}  // namespace kovali
