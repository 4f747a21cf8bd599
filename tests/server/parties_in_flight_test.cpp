// The old parties that sockets hold, in virtual time: only phones that are not reading theirs are
// named, but for the ceiling, and a party is its shared bytes.

#include <array>

#include <gtest/gtest.h>

#include "server/guest_limits.h"
#include "server/parties_in_flight.h"
#include "support/manual_scheduler.h"

namespace kovali {
namespace {

/// The account only tells holders apart; it never touches them.
std::array<char, 2> places;
GuestConnection* holder(int index) { return reinterpret_cast<GuestConnection*>(&places.at(index)); }

/// One phone holding an old party alone, whose newer one waits.
struct Reader {
  qint64 oldParty;
  qint64 perSecond;  // what it reads
  int stopsAfter;    // seconds; it reads nothing after
  bool starved = false;  // its socket left without bytes for it, as by a busy host
  qint64 readBefore = 0;  // of its old party, before it is watched
  int emptiedAt = -1;     // the second its socket has sent all it holds, none of it acknowledged yet
};

struct NamedCase {
  const char* name;
  std::array<Reader, 2> readers;
  int seconds;
  int named;  // the holder named, or -1
  qint64 ceiling = GuestLimits::oldPartiesCeilingBytes;
};

TEST(PartiesInFlight, OnlyAPhoneNotReadingItsOldPartiesOrTooSlowToFinishThemInTimeIsNamedBelowTheCeiling) {
  constexpr int watch = static_cast<int>(GuestLimits::notReadingSeconds), always = 1'000;
  const NamedCase cases[] = {
      {"the heaviest reads on at 50 KB/s, the other stopped", {{{4'000'000, 50'000, always}, {1'000'000, 0, 0}}},
       2 * watch, 1},
      {"the heaviest too slow to finish in time", {{{4'000'000, 20'000, always}, {1'000'000, 50'000, always}}},
       2 * watch, 0},
      {"both read on", {{{4'000'000, 50'000, always}, {1'000'000, 50'000, always}}}, 2 * watch, -1},
      {"both stopped, not for long yet", {{{4'000'000, 0, 0}, {1'000'000, 0, 0}}}, watch - 1, -1},
      {"both stopped for long enough", {{{4'000'000, 0, 0}, {1'000'000, 0, 0}}}, watch, 0},
      {"the heaviest read fast, then stopped", {{{4'000'000, 200'000, watch + 5}, {1'000'000, 0, 0}}},
       2 * watch + 5, 0},
      {"the heaviest given nothing to read", {{{4'000'000, 0, 0, true}, {1'000'000, 0, 0}}}, 2 * watch, 1},
      {"the heaviest stalled, had what it held sent, then stalled again, not for long yet",
       {{{4'000'000, 200'000, 5, false, 0, 13}, {1'000'000, 0, 0}}}, 19, 1},
      {"the heaviest read most of its party and slowly finishes the rest in time",
       {{{4'000'000, 10'000, always, false, 3'500'000}, {1'000'000, 0, 0}}}, 2 * watch, 1},
      {"both read on, past the ceiling: the one with the most left to read though it is lighter",
       {{{4'000'000, 10'000, always, false, 3'500'000}, {1'000'000, 20'000, always}}}, 2 * watch, 1, 4'999'999},
      {"both read on, at the ceiling", {{{4'000'000, 10'000, always, false, 3'500'000}, {1'000'000, 20'000, always}}},
       2 * watch, -1, 5'000'000},
  };
  for (const auto& c : cases) {
    ManualScheduler scheduler;
    PartiesInFlight account(0, scheduler);
    account.setCeiling(c.ceiling);
    const QByteArray newest(1'000, 'n');
    std::array<QByteArray, 2> old;
    std::array<qint64, 2> taken{};
    for (int second = 0; second <= c.seconds; ++second) {
      for (std::size_t i = 0; i < c.readers.size(); ++i) {
        const Reader& reader = c.readers[i];
        if (second == 0) {
          old[i] = QByteArray(static_cast<qsizetype>(reader.oldParty), 'o');
          taken[i] = reader.readBefore;
        }
        if (second > 0 && second <= reader.stopsAfter) taken[i] += reader.perSecond;
        account.update(holder(static_cast<int>(i)), {{{old[i], reader.oldParty}}, newest, taken[i]},
                       {taken[i], !reader.starved && second != reader.emptiedAt});
      }
      if (second < c.seconds) scheduler.advance(1);
    }
    EXPECT_EQ(account.oldBytes(), 5'000'000) << c.name;
    EXPECT_EQ(account.heaviest(), c.named < 0 ? nullptr : holder(c.named)) << c.name;
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

}  // namespace
}  // namespace kovali
