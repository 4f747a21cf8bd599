// What a connection keeps to send: the party its waiting states share apart from the rest, and
// what the phone asked for apart from the parties pushed to it; and what a crowd behind holds.

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "server/guest_limits.h"
#include "server/outgoing_backlog.h"
#include "server/parties_in_flight.h"
#include "support/manual_scheduler.h"

namespace kovali {
namespace {

using Kind = OutgoingBacklog::Kind;

/// A message of `bytes` shared, and of `own` more of a party's view of its own.
OutgoingBacklog::Message message(Kind kind, qint64 bytes, qint64 envelope = 0, qint64 own = 0) {
  return {QByteArray(static_cast<qsizetype>(envelope), 'h'), QByteArray(static_cast<qsizetype>(bytes), 'x'), {}, kind,
          FrameOpcode::text, QByteArray(static_cast<qsizetype>(own), 'r')};
}

TEST(OutgoingBacklog, WaitingStatesShareTheNewestPartyWhichNeverCountsAgainstWhatAPhoneMayLeaveUnread) {
  OutgoingBacklog backlog;
  backlog.push(message(Kind::state, 3'000'000, 100));  // a welcome
  backlog.push(message(Kind::ordinary, 1'000));
  backlog.push(message(Kind::state, 3'000'000, 100));  // an answer
  backlog.push(message(Kind::latestState, 3'000'000));
  EXPECT_EQ(backlog.kept(0), 3'001'200) << "one party, three envelopes and the rest";
  EXPECT_EQ(backlog.beyondPartyAfterPush(message(Kind::ordinary, 500), 0), 1'700);
  EXPECT_EQ(backlog.beyondPartyAfterPush(message(Kind::state, 9'000'000, 100), 0), 1'300);
  backlog.push(message(Kind::latestState, 2'000'000, 0, 50));  // a view with requests of its own
  EXPECT_EQ(backlog.kept(0), 2'001'250) << "the newer party stands in for every waiting one";

  const auto welcome = backlog.takeNext();
  EXPECT_EQ(welcome.body.size(), 2'000'000) << "a newer party answers in the older one's place";
  EXPECT_EQ(welcome.rest, QByteArray(50, 'r')) << "with the view's own bytes";
  // In the socket, a state stays a state until the socket has written it.
  backlog.handed(welcome, welcome.bytes() + 10);
  EXPECT_EQ(backlog.beyondPartyAfterPush(message(Kind::ordinary, 0), welcome.bytes() + 10), 1'100);
  EXPECT_EQ(backlog.beyondPartyAfterPush(message(Kind::ordinary, 0), 5), 1'100)
      << "the socket's last bytes are the state's";
  backlog.takeNext();
  EXPECT_EQ(backlog.takeNext().head.size(), 100) << "the answer";
  EXPECT_FALSE(backlog.hasWaiting()) << "the answer carried the pushed party along";
  EXPECT_EQ(backlog.kept(0), 0) << "nothing waits once all went";
}

TEST(OutgoingBacklog, WhatThePhoneAskedForGoesAheadOfThePushedPartyAndAloneIsOwed) {
  OutgoingBacklog backlog;
  const auto pushed = message(Kind::latestState, 1'000'000);
  backlog.push(pushed);
  const auto inFlight = backlog.takeNext();
  backlog.handed(inFlight, 1'000'010);
  backlog.push(message(Kind::latestState, 1'000'000));
  EXPECT_EQ(backlog.owed(1'000'010), 0) << "parties pushed to the phone, in the socket or waiting, are not owed";
  const auto held = backlog.parties(1'000'010);
  ASSERT_EQ(held.inSocket.size(), 1u);
  EXPECT_EQ(held.inSocket[0].party, inFlight.body);
  EXPECT_EQ(held.newest.size(), 1'000'000) << "the waiting party is the newest";

  backlog.push(message(Kind::ordinary, 300));  // an answer
  backlog.push(message(Kind::ordinary, 200));  // a pong
  EXPECT_EQ(backlog.owed(1'000'010), 500);
  EXPECT_EQ(backlog.nextKind(), Kind::ordinary);
  auto answer = backlog.takeNext();
  EXPECT_EQ(answer.bytes(), 300) << "in the order asked, ahead of the waiting party";
  backlog.handed(answer, 302);
  EXPECT_EQ(backlog.owed(302 + 10), 200 + 302) << "what the socket holds of answers is owed";
  EXPECT_EQ(backlog.owed(100), 200 + 100) << "of the answer being written, its rest";
  EXPECT_TRUE(backlog.parties(100).inSocket.empty()) << "the party's frame is written";
  EXPECT_EQ(backlog.takeNext().bytes(), 200);
  EXPECT_EQ(backlog.nextKind(), Kind::latestState);
  backlog.push(message(Kind::state, 1'000'000, 50));  // a welcome or an answer: owed, party and all
  EXPECT_EQ(backlog.owed(0), 1'000'050);
}

TEST(OutgoingBacklog, APhoneBehindTakesThePartyAsItStoodWhenTheSecondBeganSoPhonesBehindShareIt) {
  struct Push {
    double second;
    char party;
    Kind kind = Kind::latestState;
  };
  const struct Case {
    const char* name;
    std::vector<Push> pushed;  // while the phone reads what its socket holds
    std::string taken;         // the parties it takes, one by one, once it has read that
    qsizetype partyBytes = 1'000;
  } cases[] = {
      {"pushed within one second: the newest", {{10, 'a'}, {10.9, 'b'}}, "b"},
      {"across seconds: the last of the latest gone by", {{10, 'a'}, {11, 'b'}, {12, 'c'}}, "bc"},
      {"an answer carries the newest and takes the others along",
       {{10, 'a'}, {11, 'b'}, {11, 'c', Kind::state}}, "c"},
      // As many versions as fit in the budget over the time a slow phone reads one.
      {"4.2 MB, a second apart: shared 4 s", {{8, 'a'}, {9, 'b'}, {11, 'c'}}, "c", 4'200'000},
      {"4.2 MB, across 4 s", {{8, 'a'}, {11, 'b'}, {12, 'c'}}, "bc", 4'200'000},
      {"6.1 MB, a second apart: shared 8 s", {{16, 'a'}, {17, 'b'}, {23, 'c'}}, "c", 6'100'000},
      {"6.1 MB, across 8 s", {{16, 'a'}, {23, 'b'}, {24, 'c'}}, "bc", 6'100'000},
      {"10 MB, a second apart: shared 16 s", {{16, 'a'}, {17, 'b'}, {31, 'c'}}, "c", 10'000'000},
  };
  for (const auto& c : cases) {
    OutgoingBacklog backlog;
    for (const Push& push : c.pushed) {
      backlog.push({{}, QByteArray(c.partyBytes, push.party), {}, push.kind}, push.second);
    }
    std::string taken;
    while (backlog.hasWaiting()) taken += backlog.takeNext().body.front();
    EXPECT_EQ(taken, c.taken) << c.name;
    EXPECT_EQ(backlog.kept(0), 0) << c.name;
  }
}

TEST(OutgoingBacklog, ACrowdOfSlowPhonesKeepsUpAndHoldsOldPartiesWithinTheBudgetAtAnyPartySize) {
  constexpr qint64 budget = GuestLimits::oldPartiesBytes, ceiling = GuestLimits::oldPartiesCeilingBytes;
  const struct Case {
    const char* name;
    qsizetype party;
    double changeEvery;  // seconds
    double joining;      // seconds over which the phones join
    qint64 bound;        // what old parties stay within
  } cases[] = {
      {"4.2 MB, a change every 2 s", 4'200'000, 2, 1, budget},
      {"6.1 MB, a change every 2 s", 6'100'000, 2, 1, budget},
      {"6.1 MB, a change every 0.25 s", 6'100'000, 0.25, 1, budget},
      {"10 MB, a change every 2 s", 10'000'000, 2, 1, budget},
      // Each second of joining welcomes with a version of its own.
      {"6.1 MB, a change every 0.25 s, joining over 60 s", 6'100'000, 0.25, 60, ceiling},
      {"10 MB, a change every 2 s, joining over 60 s", 10'000'000, 2, 60, ceiling},
  };
  // 400 phones reading 36 to 44 KB/s, for as long as the slowest takes for two parties.
  constexpr int phones = 400;
  constexpr double tick = 0.25;
  struct Phone {
    OutgoingBacklog backlog;
    qint64 handed = 0, taken = 0;
  };
  for (const auto& c : cases) {
    ManualScheduler scheduler;
    PartiesInFlight account(GuestLimits::oldPartiesBytes, scheduler);
    std::vector<Phone> crowd(phones);
    QByteArray party;
    qint64 most = 0;
    int joined = 0, named = 0;
    const double end = c.joining + 2 * static_cast<double>(c.party) / 36'000;
    for (int step = 0; step * tick < end; ++step) {
      const double now = step * tick;
      const bool changes = std::fmod(now, c.changeEvery) == 0;
      if (changes) party = QByteArray(c.party, Qt::Uninitialized);
      for (int i = 0; i < joined && changes; ++i) crowd[i].backlog.push({{}, party, {}, Kind::latestState}, now);
      // Welcomed together, a second at the longest after the hello, as the host does at a large party.
      for (; std::fmod(now, 1) == 0 && joined < phones && joined * c.joining / phones <= now; ++joined) {
        crowd[joined].backlog.push({{}, party, {}, Kind::state}, now);
      }
      for (int i = 0; i < joined; ++i) {
        Phone& phone = crowd[i];
        phone.taken = std::min(phone.handed, phone.taken + static_cast<qint64>((36'000 + i * 20) * tick));
        while (phone.backlog.hasWaiting() && phone.backlog.nextGoesNow(phone.handed - phone.taken)) {
          const auto next = phone.backlog.takeNext();
          phone.handed += next.bytes();
          phone.backlog.handed(next, next.bytes());
        }
        const qint64 inSocket = phone.handed - phone.taken;
        account.update(reinterpret_cast<GuestConnection*>(&phone), phone.backlog.parties(inSocket),
                       {phone.taken, inSocket > 0});
      }
      most = std::max(most, account.oldBytes());
      named += account.heaviest() ? 1 : 0;
      scheduler.advance(tick);
    }
    EXPECT_LE(most, c.bound) << c.name;
    EXPECT_GT(most, 0) << c.name << ": phones behind held old parties";
    EXPECT_EQ(named, 0) << c.name << ": a phone named as not keeping up";
  }
}

TEST(OutgoingBacklog, AnythingButAPartyGoesToTheSocketAtOnceAndAPartyOnceTheSocketHasLittleLeft) {
  constexpr qint64 room = GuestLimits::partyHandOffBytes;
  const struct Case {
    const char* name;
    std::vector<Kind> waiting;
    qint64 inSocket;
    bool goesNow;
  } cases[] = {
      {"an answer behind a party being written", {Kind::ordinary}, 4 << 20, true},
      {"an error behind a pushed party that waits", {Kind::latestState, Kind::ordinary}, 4 << 20, true},
      {"a pushed party behind one being written", {Kind::latestState}, room, false},
      {"a party that answers, likewise", {Kind::state}, room, false},
      {"a party once the socket has little left", {Kind::latestState}, room - 1, true},
  };
  for (const auto& c : cases) {
    OutgoingBacklog backlog;
    for (const Kind kind : c.waiting) backlog.push(message(kind, 1'000));
    EXPECT_EQ(backlog.nextGoesNow(c.inSocket), c.goesNow) << c.name;
  }
}

}  // namespace
}  // namespace kovali
