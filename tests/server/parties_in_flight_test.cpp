// The old parties that sockets hold, in virtual time: only phones that are not reading theirs are
// named, and a party is its shared bytes.

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
};

struct NamedCase {
  const char* name;
  std::array<Reader, 2> readers;
  int seconds;
  int named;  // the holder named, or -1
};

TEST(PartiesInFlight, OnlyAPhoneNotReadingItsOldPartiesOrTooSlowToFinishThemInTimeIsNamed) {
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
  };
  for (const auto& c : cases) {
    ManualScheduler scheduler;
    PartiesInFlight account(0, scheduler);
    const QByteArray newest(1'000, 'n');
    std::array<QByteArray, 2> old;
    std::array<qint64, 2> taken{};
    for (int second = 0; second <= c.seconds; ++second) {
      for (std::size_t i = 0; i < c.readers.size(); ++i) {
        const Reader& reader = c.readers[i];
        if (second == 0) old[i] = QByteArray(static_cast<qsizetype>(reader.oldParty), 'o');
        if (second > 0 && second <= reader.stopsAfter) taken[i] += reader.perSecond;
        account.update(holder(static_cast<int>(i)), {{{old[i], reader.oldParty}}, newest, taken[i]},
                       {taken[i], !reader.starved});
      }
      if (second < c.seconds) scheduler.advance(1);
    }
    EXPECT_EQ(account.oldBytes(), 5'000'000) << c.name;
    EXPECT_EQ(account.heaviest(), c.named < 0 ? nullptr : holder(c.named)) << c.name;
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
