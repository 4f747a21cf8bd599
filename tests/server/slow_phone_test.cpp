// Phones that stop reading, on loopback: what waits for them stays bounded, the newest state
// replaces an older one, and a phone that would fall too far behind is dropped.

#include <algorithm>
#include <string_view>
#include <fstream>
#include <map>
#include <memory>
#include <unistd.h>

#include <QCoreApplication>

#include "model/session_state.h"
#include "protocol/message_codec.h"
#include "server/guest_connection.h"
#include "server/host_server_fixture.h"
#include "support/log_capture.h"
#include "support/stalled_phone.h"

namespace kovali {
namespace {

using vinaro::Event;
using vinaro::SessionState;

/// A party state of about `bytes` on the wire at revision `revision`.
SessionState partyOfSize(std::size_t bytes, std::int64_t revision) {
  auto state = SessionState::newParty("S", std::string(bytes, 'x'));
  state.revision = revision;
  return state;
}

std::int64_t residentBytes() {
  std::ifstream statm("/proc/self/statm");
  std::int64_t size = 0, resident = 0;
  statm >> size >> resident;
  return resident * sysconf(_SC_PAGESIZE);
}

/// The most the system lets a socket's send buffer grow to.
std::size_t largestSendBuffer() {
  std::ifstream memory("/proc/sys/net/ipv4/tcp_wmem");
  std::size_t least = 0, initial = 0, most = 4 << 20;
  memory >> least >> initial >> most;
  return most;
}

class SlowPhoneTest : public HostServerFixture {
 protected:
  void SetUp() override { port = startReady(); }

  /// Sends ordinary events to `id` until more is unsent than the socket takes at once, so that
  /// whatever follows has to wait with the host.
  [[nodiscard]] bool backUp(ConnectionID id, qint64 beyond) {
    const Event filler{vinaro::ProtocolError::badRequest(std::string(64 << 10, 'f'))};
    for (int sent = 0; sent < 400; ++sent) {
      server->send(filler, id);
      QCoreApplication::processEvents();
      if (server->unsentBytes(id).value_or(0) > beyond) return true;
    }
    return false;
  }

  /// Has `phone` read `bytes` more of what the host sends it, as they come.
  [[nodiscard]] static bool readOn(StalledPhone& phone, long bytes) {
    long got = 0;
    return QTest::qWaitFor(
        [&] {
          got += std::max(0L, phone.drain(static_cast<std::size_t>(bytes - got)));
          return got >= bytes;
        },
        GuestClient::timeoutMs);
  }

  /// Connects `phone` and has it say hello; true once the hello has reached the owner.
  [[nodiscard]] bool greet(StalledPhone& phone, std::uint32_t source = 0x7F000001) {
    const std::size_t before = messages.size();
    return phone.connectTo(port, source) &&
           phone.sendText(commandMessage("hi", vinaro::Command{vinaro::Command::Hello{"S", "d", 1}})) &&
           waitForMessages(before + 1);
  }

  std::uint16_t port = 0;
};

TEST_F(SlowPhoneTest, FiftyPhonesThatStopReadingKeepOnlyTheirNewestStateWhileAReadingPhoneKeepsUp) {
  constexpr int stalledCount = 50, changes = 500;
  std::vector<std::unique_ptr<StalledPhone>> stalled;
  for (int i = 0; i < stalledCount; ++i) {
    stalled.push_back(std::make_unique<StalledPhone>());
    ASSERT_TRUE(stalled.back()->connectTo(port, 0x7F000002 + static_cast<std::uint32_t>(i))) << i;
    ASSERT_TRUE(stalled.back()->sendText(commandMessage("hi", vinaro::Command{vinaro::Command::Hello{"S", "d", 1}})));
  }
  GuestClient reader;
  ASSERT_TRUE(reader.connectTo(port));
  reader.sendCommand("hi", vinaro::Command{vinaro::Command::Hello{"R", "r", 1}});
  ASSERT_TRUE(waitForConnections(stalledCount + 1));
  ASSERT_TRUE(waitForMessages(stalledCount + 1)) << "every phone said hello";
  const auto before = residentBytes();

  std::int64_t largestMessage = 0;
  for (int revision = 1; revision <= changes; ++revision) {
    const auto state = OutgoingEvent::of(partyOfSize(85'000, revision));
    ASSERT_TRUE(state);
    largestMessage = std::max<std::int64_t>(largestMessage, state->message("ID", std::nullopt).size());
    for (std::int64_t raw = 1; raw <= stalledCount + 1; ++raw) server->send(*state, ConnectionID{raw});
    QCoreApplication::processEvents();  // each change is one turn of the host's event loop
    // At most what the socket takes at once, one message beyond it, and one waiting state (as
    // UTF-16): nothing grows with the number of changes.
    const qint64 bound = GuestLimits::partyHandOffBytes + 3 * 2 * largestMessage;
    for (std::int64_t raw = 1; raw <= stalledCount; ++raw) {
      ASSERT_LE(server->unsentBytes(ConnectionID{raw}).value_or(-1), bound) << "c" << raw << " at " << revision;
    }
  }
  EXPECT_LT(residentBytes() - before, std::int64_t{150} << 20) << "unbounded, this would be about 2 GB";

  ASSERT_TRUE(QTest::qWaitFor(
      [&] { return !reader.received.empty() && reader.event(reader.received.size() - 1); }, GuestClient::timeoutMs));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const auto last = reader.event(reader.received.size() - 1);
        const auto* state = last ? std::get_if<SessionState>(&last->body.payload) : nullptr;
        return state && state->revision == changes;
      },
      GuestClient::timeoutMs))
      << "the reading phone ends with the newest state";
  EXPECT_LE(reader.received.size(), static_cast<std::size_t>(changes));

  scheduler.advance(GuestLimits::stallSeconds * 2);
  QCoreApplication::processEvents();
  EXPECT_TRUE(disconnects.empty()) << "a backlog of one state is no reason to drop a phone";
  EXPECT_EQ(server->connectionCount(), stalledCount + 1);
}

TEST_F(SlowPhoneTest, ANewerStateReplacesAWaitingOneAndWhatThePhoneAskedForGoesFirstInOrder) {
  StalledPhone phone;
  ASSERT_TRUE(phone.connectTo(port));
  ASSERT_TRUE(waitForConnections(1));
  const ConnectionID id{1};
  ASSERT_TRUE(backUp(id, GuestLimits::partyHandOffBytes));

  server->send(Event{partyOfSize(10, 1)}, id);
  server->send(Event{vinaro::ProtocolError::forbidden("Only the DJ can do that.")}, id, "E1");
  server->send(Event{partyOfSize(10, 2)}, id);
  server->send(Event{partyOfSize(10, 3)}, id, "R3");  // an answer is never skipped, but a newer party stands in
  server->send(Event{partyOfSize(10, 4)}, id);
  server->send(Event{Event::RoleChanged{}}, id);
  server->send(Event{partyOfSize(10, 5)}, id);
  server->send(Event{vinaro::ProtocolError::badRequest("Unknown command.")}, id, "E2");

  const auto tailUpTo = [&](std::string_view last, std::size_t count) {
    std::vector<std::string> tail;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          phone.drain();
          const auto all = phone.messages();
          if (all.empty() || all.back().find(last) == std::string::npos) return false;
          tail.assign(all.end() - static_cast<std::ptrdiff_t>(count), all.end());
          return true;
        },
        GuestClient::timeoutMs));
    return tail;
  };
  const auto decode = [](const std::string& text) { return vinaro::MessageCodec::decode<Event>(text).value(); };
  auto tail = tailUpTo(R"("replyTo":"E2")", 4);
  ASSERT_EQ(tail.size(), 4u);
  const auto error = decode(tail[0]), answer = decode(tail[1]);
  EXPECT_EQ(error.replyTo, "E1");
  EXPECT_TRUE(std::holds_alternative<vinaro::ProtocolError>(error.body.payload));
  EXPECT_EQ(answer.replyTo, "R3");
  EXPECT_EQ(std::get<SessionState>(answer.body.payload).revision, 5) << "the answer carries the newest party";
  EXPECT_NE(tail[2].find(R"("type":"roleChanged")"), std::string::npos);
  for (const auto& text : phone.messages()) {
    for (const char* replaced : {R"("revision":1,)", R"("revision":2,)", R"("revision":3,)", R"("revision":4,)"}) {
      EXPECT_EQ(text.find(replaced), std::string::npos) << "the states replaced while waiting never went out";
    }
  }
  EXPECT_EQ(std::count_if(tail.begin(), tail.end(),
                          [](const std::string& text) { return text.find(R"("revision":5,)") != std::string::npos; }),
            1)
      << "the answer took the waiting party along";

  // Behind a party that waits, an answer goes first.
  ASSERT_TRUE(backUp(id, GuestLimits::partyHandOffBytes));
  server->send(Event{partyOfSize(10, 6)}, id);
  server->send(Event{vinaro::ProtocolError::badRequest("Unknown command.")}, id, "E3");
  tail = tailUpTo(R"("revision":6,)", 2);
  ASSERT_EQ(tail.size(), 2u);
  EXPECT_EQ(decode(tail[0]).replyTo, "E3");
}

TEST_F(SlowPhoneTest, PhonesBehindThatFinishAtDifferentMomentsOfASecondAreHandedTheSameParty) {
  StalledPhone early, late;
  ASSERT_TRUE(early.connectTo(port));
  ASSERT_TRUE(late.connectTo(port));
  ASSERT_TRUE(waitForConnections(2));
  const std::vector<ConnectionID> ids{{1}, {2}};
  // Far enough behind that what the socket holds stays above the hand-off while the other backs up.
  for (const auto id : ids) ASSERT_TRUE(backUp(id, 16 * GuestLimits::partyHandOffBytes));
  const auto pushToBoth = [&](std::int64_t revision) {
    const auto state = OutgoingEvent::of(partyOfSize(100, revision));
    for (const auto id : ids) server->send(*state, id);
  };
  const auto partiesRead = [](StalledPhone& phone, std::int64_t last) {
    std::vector<std::int64_t> revisions;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
          phone.drain();
          revisions.clear();
          for (const auto& text : phone.messages()) {
            const auto event = vinaro::MessageCodec::decode<Event>(text);
            const auto* state = event ? std::get_if<SessionState>(&event.value().body.payload) : nullptr;
            if (state) revisions.push_back(state->revision);
          }
          return !revisions.empty() && revisions.back() == last;
        },
        GuestClient::timeoutMs));
    return revisions;
  };
  pushToBoth(1);
  scheduler.advance(0.5);
  pushToBoth(2);
  scheduler.advance(0.6);  // the next second
  pushToBoth(3);
  EXPECT_EQ(partiesRead(early, 3), (std::vector<std::int64_t>{2, 3})) << "the last of the second gone by, then the newest";
  scheduler.advance(0.3);
  pushToBoth(4);
  EXPECT_EQ(partiesRead(late, 4), (std::vector<std::int64_t>{2, 4})) << "later in the same second: the same one";
}

TEST_F(SlowPhoneTest, APhoneThatSendsWithoutReadingIsReadNoFurtherUntilItCatchesUpAndLosesNothing) {
  StalledPhone phone;
  ASSERT_TRUE(greet(phone));
  const ConnectionID id{1};
  ASSERT_TRUE(backUp(id, GuestLimits::maxUnsentBytes - (512 << 10)));  // past what the network holds

  constexpr int asked = 40;
  for (int i = 0; i < asked; ++i) {
    ASSERT_TRUE(phone.sendText(commandMessage("s" + std::to_string(i), vinaro::Command{vinaro::Command::Search{"x"}})));
  }
  QTest::qWait(300);
  EXPECT_EQ(messages.size(), 1u) << "nothing more is read from a phone that far behind";

  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        phone.drain();
        return messages.size() == 1 + asked;
      },
      GuestClient::timeoutMs))
      << messages.size();
  for (int i = 0; i < asked; ++i) EXPECT_EQ(messages[1 + i].second.id, "s" + std::to_string(i));
  EXPECT_TRUE(disconnects.empty());
}

TEST_F(SlowPhoneTest, APhoneThatAnswersWouldTakePastTheCapIsDroppedAtOnceAndTheOthersStay) {
  LogCapture log("kovaliapp.net");
  StalledPhone phone;
  ASSERT_TRUE(phone.connectTo(port));
  GuestClient reader;
  ASSERT_TRUE(reader.connectTo(port));
  ASSERT_TRUE(waitForConnections(2));
  const ConnectionID id{1};
  const Event filler{vinaro::ProtocolError::badRequest(std::string(64 << 10, 'f'))};
  int sent = 0;
  for (; sent < 400 && server->unsentBytes(id); ++sent) {
    server->send(filler, id);
    EXPECT_LE(server->unsentBytes(id).value_or(0), GuestLimits::maxUnsentBytes) << "after " << sent;
    QCoreApplication::processEvents();
  }
  ASSERT_TRUE(waitForDisconnects(1)) << "with no time passing";
  EXPECT_LT(sent, 400);
  EXPECT_EQ(disconnects, std::vector<ConnectionID>{id});
  EXPECT_EQ(server->unsentBytes(id), std::nullopt);
  EXPECT_TRUE(log.hasLineStartingWith("Guest connection c1 is let go: behind on answers")) << testing::PrintToString(log.lines());
  EXPECT_TRUE(QTest::qWaitFor([&] { return phone.drain() < 0; }, GuestClient::timeoutMs)) << "the socket is gone";
  EXPECT_TRUE(reader.isConnected());
  EXPECT_EQ(server->connectionCount(), 1);
}

TEST_F(SlowPhoneTest, APhoneThatCatchesUpFromJustBelowTheCapStays) {
  StalledPhone phone;
  ASSERT_TRUE(greet(phone));
  const ConnectionID id{1};
  ASSERT_TRUE(backUp(id, GuestLimits::maxUnsentBytes - (512 << 10)));

  scheduler.advance(GuestLimits::stallSeconds - 1);
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        phone.drain();
        return server->unsentBytes(id).value_or(0) == 0;
      },
      GuestClient::timeoutMs));
  scheduler.advance(GuestLimits::stallSeconds * 2);
  QCoreApplication::processEvents();
  EXPECT_TRUE(disconnects.empty());
  EXPECT_EQ(server->connectionCount(), 1);
}

TEST_F(SlowPhoneTest, APhoneIsSentPartiesLargerThanTheCapAndStays) {
  StalledPhone phone;
  ASSERT_TRUE(greet(phone));
  const ConnectionID id{1};
  constexpr std::size_t party = 4'500'000;  // a queue of about 11,000 songs
  server->send(Event{partyOfSize(party, 1)}, id, "hi");  // the welcome answers the hello
  server->send(Event{partyOfSize(party, 2)}, id);
  server->send(Event{partyOfSize(party, 3)}, id);  // the minute's prune, behind an unsent state
  server->send(Event{vinaro::ProtocolError::badRequest("Unknown command.")}, id, "x");
  QCoreApplication::processEvents();
  EXPECT_TRUE(disconnects.empty());

  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        if (phone.drain() < 0) return true;
        const auto all = phone.messages();
        return !all.empty() && all.back().find(R"("revision":3,)") != std::string::npos;
      },
      GuestClient::timeoutMs * 3));
  const auto all = phone.messages();
  ASSERT_EQ(all.size(), 3u);
  const auto welcome = vinaro::MessageCodec::decode<Event>(all.front());
  ASSERT_TRUE(welcome);
  EXPECT_EQ(welcome.value().replyTo, "hi");
  EXPECT_NE(all[1].find(R"("replyTo":"x")"), std::string::npos) << "the answer went ahead of the waiting party";
  EXPECT_TRUE(disconnects.empty());
  EXPECT_EQ(server->connectionCount(), 1);
}

TEST_F(SlowPhoneTest, APhoneFarBehindThatAsksMeanwhileGetsItsWelcomeAndEveryAnswer) {
  StalledPhone phone;
  ASSERT_TRUE(greet(phone));
  const ConnectionID id{1};
  server->send(Event{partyOfSize(1'000'000, 1)}, id, "hi");
  ASSERT_TRUE(backUp(id, GuestLimits::maxUnsentBytes - (512 << 10)));  // past what the network holds

  // As a search field sends while its user types.
  constexpr int asked = 40;
  for (int i = 0; i < asked; ++i) {
    ASSERT_TRUE(phone.sendText(commandMessage("s" + std::to_string(i), vinaro::Command{vinaro::Command::Search{"x"}})));
  }
  // Longer than the WebSocket library waited for the rest of a frame it had begun to read.
  QTest::qWait(6000);
  EXPECT_EQ(messages.size(), 1u) << "nothing is answered before the phone has caught up";
  ASSERT_TRUE(disconnects.empty()) << "a phone is not dropped for what it asked while behind";

  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        phone.drain();
        for (std::size_t i = 1; i < messages.size(); ++i) {
          if (messages[i].second.id.starts_with("s")) {
            server->send(Event{vinaro::ProtocolError::badRequest("Answer.")}, id, messages[i].second.id);
            messages[i].second.id = "answered";
          }
        }
        const auto all = phone.messages();
        return !all.empty() && all.back().find(R"("replyTo":"s39")") != std::string::npos;
      },
      GuestClient::timeoutMs));
  EXPECT_EQ(messages.size(), 1u + asked);
  EXPECT_NE(phone.messages().front().find(R"("replyTo":"hi")"), std::string::npos) << "the welcome came first";
  EXPECT_TRUE(disconnects.empty());
}

TEST_F(SlowPhoneTest, APhoneReadingSlowlyWhileThePartyKeepsChangingHasEachCommandReadAndAnsweredBeforeNewerParties) {
  StalledPhone phone;
  ASSERT_TRUE(greet(phone));
  const ConnectionID id{1};
  constexpr long party = 1'000'000;
  std::int64_t revision = 1;
  server->send(Event{partyOfSize(party, revision)}, id, "hi");
  long read = 0, sinceChange = 0;
  // A little at each turn, as over a slow link, while the party changes twice as often as the
  // phone can read one.
  const auto readALittle = [&] {
    const long got = std::max(0L, phone.drain(32 << 10));
    read += got;
    if ((sinceChange += got) < party / 2) return;
    sinceChange = 0;
    server->send(Event{partyOfSize(party, ++revision)}, id);
  };
  std::map<std::string, std::int64_t> newestWhenAnswered;
  for (int i = 0; i < 6; ++i) {
    const std::string ask = "s" + std::to_string(i);
    const std::size_t before = messages.size();
    ASSERT_TRUE(phone.sendText(commandMessage(ask, vinaro::Command{vinaro::Command::Search{"x"}})));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          readALittle();
          return messages.size() > before;
        },
        GuestClient::timeoutMs))
        << ask << " was never read";
    server->send(Event{vinaro::ProtocolError::badRequest("Answer.")}, id, ask);
    newestWhenAnswered[ask] = revision;
    const auto from = static_cast<std::size_t>(read);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
          readALittle();
          return phone.bytesRead().find(R"("replyTo":")" + ask + '"', from) != std::string::npos;
        },
        GuestClient::timeoutMs))
        << ask;
  }
  EXPECT_GT(revision, 6) << "the party kept changing";
  std::int64_t newestRead = 0;
  for (const auto& text : phone.messages()) {
    const auto event = vinaro::MessageCodec::decode<Event>(text);
    ASSERT_TRUE(event);
    if (const auto* state = std::get_if<SessionState>(&event.value().body.payload)) {
      newestRead = std::max(newestRead, state->revision);
    } else if (event.value().replyTo && newestWhenAnswered.contains(*event.value().replyTo)) {
      EXPECT_LE(newestRead, newestWhenAnswered[*event.value().replyTo]) << *event.value().replyTo;
    }
  }
  EXPECT_TRUE(disconnects.empty());
}

/// Phones that join a large party one at a time, each welcomed with a version of it the next one
/// changes, and read nothing, or some read on: the versions their sockets hold are counted
/// together, and only phones that are not reading are let go for them.
struct OldPartiesCase {
  const char* name;
  std::vector<int> joining;       // phones joining together, group by group; each group's party is new
  int changes;                    // further versions sent to every phone
  std::vector<int> letGo;         // which phones, counted from 1, go
  std::vector<int> reading = {};  // which phones read on at a steady pace
  bool welcomesOnly = false;      // each version goes to the phones joining with it alone
  bool hostsBudget = false;       // as the host has it, rather than a few parties
  bool pastCeiling = false;       // the budget and the ceiling at half a party, as at a busy party
  std::vector<int> djs = {};      // which phones are the DJ's
};

TEST_F(SlowPhoneTest, OldPartiesThatPhonesStillHoldAreCountedAndThoseNotReadingThatKeepTheMostAloneAreLetGo) {
  // Larger than the system takes into a socket's own buffer, so that some of each stays with the host.
  const std::size_t party = largestSendBuffer() + (1 << 20);
  const std::vector<int> nine(9, 1);
  const OldPartiesCase cases[] = {
      {"one at a time", {1, 1, 1, 1, 1}, 0, {1}},
      {"the first two together", {2, 1, 1, 1, 1}, 0, {3}},
      {"one at a time, the party changing on", {1, 1, 1, 1, 1}, 1, {1, 2}},
      {"all at once, the party changing on", {5}, 4, {}},
      {"one at a time, the first reading on", {1, 1, 1, 1, 1}, 0, {2}, {1}},
      {"one at a time, each sent its welcome alone", {1, 1, 1, 1, 1}, 0, {}, {}, true},
      {"nine one at a time, within the host's budget", nine, 0, {}, {}, false, true},
      {"two one at a time, past the ceiling", {1, 1}, 0, {1}, {}, false, false, true},
      {"two one at a time, the first reading on as the DJ, past the ceiling",
       {1, 1}, 0, {}, {1}, false, false, true, {1}},
  };
  LogCapture log("kovaliapp.net");
  std::int64_t connected = 0, revision = 0;
  for (const auto& c : cases) {
    server->setOldPartiesBudget(c.hostsBudget   ? GuestLimits::oldPartiesBytes
                                : c.pastCeiling ? party / 2
                                                : 3 * party + party / 2);
    server->setOldPartiesCeiling(c.pastCeiling ? party / 2 : GuestLimits::oldPartiesCeilingBytes);
    std::vector<std::unique_ptr<StalledPhone>> phones;
    const std::int64_t first = connected + 1;
    const auto sendToAll = [&](std::int64_t from) {
      const auto state = OutgoingEvent::of(partyOfSize(party, ++revision));
      for (std::int64_t raw = from; raw <= connected; ++raw) server->send(*state, ConnectionID{raw});
    };
    for (const int together : c.joining) {
      for (int i = 0; i < together; ++i) {
        phones.push_back(std::make_unique<StalledPhone>());
        // Greeted, as the watch below runs past the time allowed for a hello.
        ASSERT_TRUE(greet(*phones.back(), 0x7F000020 + static_cast<std::uint32_t>(connected % 8))) << c.name;
        ++connected;
        if (std::ranges::count(c.djs, static_cast<int>(phones.size())) > 0) {
          server->setDJ(ConnectionID{connected}, true);
        }
      }
      ASSERT_TRUE(waitForConnections(static_cast<int>(phones.size()))) << c.name;
      sendToAll(c.welcomesOnly ? connected - together + 1 : first);
      QCoreApplication::processEvents();
    }
    for (int i = 0; i < c.changes; ++i) sendToAll(first);
    // Long enough for the silent ones to be judged, the reading ones on at 64 KiB a second.
    for (int second = 0; second <= GuestLimits::notReadingSeconds; ++second) {
      for (const int phone : c.reading) ASSERT_TRUE(readOn(*phones[phone - 1], 64 << 10)) << c.name;
      scheduler.advance(1);
      // All that go, go in the look that lets the first of them go.
      if (!disconnects.empty()) {
        ASSERT_EQ(disconnects.size(), c.letGo.size()) << c.name << " at " << second;
      }
    }
    std::vector<ConnectionID> expected;
    for (const int phone : c.letGo) expected.push_back(ConnectionID{first + phone - 1});
    QTest::qWait(100);
    EXPECT_EQ(disconnects, expected) << c.name;
    const std::string why = c.pastCeiling ? "the old parties are past their ceiling" : "not reading its old parties";
    EXPECT_EQ(log.hasLineStartingWith("Guest connection c" + std::to_string(first) + " is let go: " + why),
              std::find(c.letGo.begin(), c.letGo.end(), 1) != c.letGo.end())
        << c.name << testing::PrintToString(log.lines());
    for (const auto id : expected) {
      auto& phone = *phones[static_cast<std::size_t>(id.raw - first)];
      EXPECT_TRUE(QTest::qWaitFor([&] { return phone.drain() < 0; }, GuestClient::timeoutMs)) << c.name << " " << id.raw;
    }
    for (std::int64_t raw = first; raw <= connected; ++raw) server->remove(ConnectionID{raw});
    disconnects.clear();
    QTest::qWait(50);  // the sockets go, and with them what they held
  }
}

TEST_F(SlowPhoneTest, APhoneThatAcknowledgesNothingForFortyFiveSecondsIsLetGoSayingHowItReadAndOneReadingSlowlyStays) {
  constexpr std::size_t party = 2'000'000;
  const struct Case {
    const char* name;
    long readsEveryFiveSeconds;
    bool letGo;
  } cases[] = {
      {"reads nothing", 0, true},
      {"reads 4 KiB every 5 s", 4 << 10, false},
  };
  LogCapture log("kovaliapp.net");
  std::int64_t revision = 0;
  for (const auto& c : cases) {
    StalledPhone phone;
    ASSERT_TRUE(greet(phone)) << c.name;
    const ConnectionID id = messages.back().first;
    for (int version = 0; version < 2; ++version) server->send(Event{partyOfSize(party, ++revision)}, id);
    QTest::qWait(50);
    int letGoAfter = 0;  // seconds
    for (int step = 1; step <= 2 * GuestLimits::silentSeconds / 5; ++step) {
      if (c.readsEveryFiveSeconds > 0) {
        ASSERT_TRUE(readOn(phone, c.readsEveryFiveSeconds)) << c.name;
      }
      QTest::qWait(20);  // the host's system hears of it
      scheduler.advance(5);
      QCoreApplication::processEvents();
      if (letGoAfter == 0 && !disconnects.empty()) letGoAfter = 5 * step;
    }
    EXPECT_EQ(disconnects, c.letGo ? std::vector<ConnectionID>{id} : std::vector<ConnectionID>{}) << c.name;
    if (c.letGo) {
      // Its first bytes were acknowledged by its system: it has been silent since the first look.
      EXPECT_GE(letGoAfter, GuestLimits::silentSeconds) << c.name;
      EXPECT_LE(letGoAfter, GuestLimits::silentSeconds + 10) << c.name << ": looked at every few seconds";
    }
    // Said while the account still knows what it holds.
    const std::string line = "Guest connection " + id.text() + " is let go: nothing it was sent acknowledged for " +
                             std::to_string(GuestLimits::silentSeconds) + " s (";
    EXPECT_EQ(std::any_of(log.lines().begin(), log.lines().end(),
                          [&](const std::string& said) {
                            return said.starts_with(line) && said.find("2.0 MB of old parties held") != said.npos;
                          }),
              c.letGo)
        << c.name << testing::PrintToString(log.lines());
    server->remove(id);
    disconnects.clear();
  }
}

/// A phone that reads nothing and keeps sending: what the host keeps for it stays its party and a
/// little more, however much it sends.
struct FloodCase {
  const char* name;
  int phones;              // from one address
  bool behindFirst;        // a party waits unread before the phone sends
  std::string unit;        // what it sends, over and over
  int units;
  bool answeredWithParty;  // the owner answers every message with a whole party, as an add is
};

TEST_F(SlowPhoneTest, APhoneThatReadsNothingCostsItsPartyAndALittleMoreWhateverItSends) {
  constexpr std::size_t party = 1'000'000;
  const std::string largest(static_cast<std::size_t>(HostServer::maxMessageBytes) - 64, 'x');
  const std::string search = commandMessage("s", vinaro::Command{vinaro::Command::Search{"x"}});
  const FloodCase cases[] = {
      {"pings", 1, false, StalledPhone::frameHeader(125, 0x89) + std::string(125, 'p'), 200'000, false},
      {"the largest messages", 16, true, StalledPhone::frameHeader(largest.size()) + largest, 16, false},
      {"commands answered later", 1, false, StalledPhone::frameHeader(search.size()) + search, 20, true},
  };
  std::uint32_t source = 0x7F000010;  // an address a case: the phones of one stay until the next
  for (const auto& c : cases) {
    ++source;
    std::vector<std::unique_ptr<StalledPhone>> phones;
    std::vector<ConnectionID> ids;
    for (int i = 0; i < c.phones; ++i) {
      phones.push_back(std::make_unique<StalledPhone>());
      ASSERT_TRUE(greet(*phones.back(), source)) << c.name;
      ids.push_back(messages.back().first);
      if (c.behindFirst) server->send(Event{partyOfSize(party, 1)}, ids.back(), "hi");
    }
    const std::size_t greetings = messages.size();
    const auto before = residentBytes();
    std::vector<std::size_t> sent(phones.size(), 0);
    const std::size_t all = c.unit.size() * static_cast<std::size_t>(c.units);
    std::string burst;
    while (burst.size() < (64u << 10)) burst += c.unit;
    for (int idle = 0; idle < 10;) {
      long progress = 0;
      for (std::size_t i = 0; i < phones.size() && sent[i] < all; ++i) {
        const long went =
            phones[i]->sendSome(std::string_view(burst).substr(sent[i] % c.unit.size(), all - sent[i]));
        sent[i] += static_cast<std::size_t>(went);
        progress += went;
      }
      QTest::qWait(progress > 0 ? 1 : 20);
      idle = progress > 0 ? 0 : idle + 1;
    }
    for (std::size_t i = greetings; c.answeredWithParty && i < messages.size(); ++i) {
      server->send(Event{partyOfSize(party, static_cast<std::int64_t>(i))}, messages[i].first, messages[i].second.id);
    }
    QTest::qWait(100);
    for (const auto id : ids) {
      EXPECT_LE(server->unsentBytes(id).value_or(0), 2 * party + GuestLimits::holdReadingBytes + (64 << 10))
          << c.name << ": the party being written, the newest one and the allowance";
    }
    EXPECT_LT(residentBytes() - before, std::int64_t{64} << 20) << c.name;
    EXPECT_TRUE(disconnects.empty()) << c.name;
    for (const auto id : ids) server->remove(id);
    disconnects.clear();
  }
}

TEST_F(SlowPhoneTest, PhonesSendingTheLargestMessagesSlowlyHoldBoundedMemoryAndAnotherPhoneIsServed) {
  constexpr int addresses = 8, phones = addresses * static_cast<int>(HostServer::maxConnectionsPerAddress);
  std::vector<std::unique_ptr<StalledPhone>> senders;
  for (int i = 0; i < phones; ++i) {
    senders.push_back(std::make_unique<StalledPhone>());
    ASSERT_TRUE(senders.back()->connectTo(port, 0x7F000002 + static_cast<std::uint32_t>(i % addresses))) << i;
    senders.back()->smallSendBuffer();  // what went is what the host took in
  }
  ASSERT_TRUE(waitForConnections(phones));
  const auto before = residentBytes();

  // Each sends all of a message of the largest size but its last byte, as fast as the host reads.
  const std::string message = StalledPhone::frameHeader(HostServer::maxMessageBytes) +
                              std::string(static_cast<std::size_t>(HostServer::maxMessageBytes) - 1, 'x');
  std::vector<std::size_t> sent(phones, 0);
  for (int idle = 0; idle < 5;) {
    long progress = 0;
    for (int i = 0; i < phones; ++i) {
      const long went = senders[i]->sendSome(std::string_view(message).substr(sent[i]));
      sent[i] += static_cast<std::size_t>(went);
      progress += went;
    }
    QTest::qWait(progress > 0 ? 1 : 20);
    idle = progress > 0 ? 0 : idle + 1;
  }
  EXPECT_LT(residentBytes() - before, (GuestLimits::incomingPoolBytes + (32 << 20)))
      << "unbounded, every phone's message would be held whole";

  GuestClient other;
  ASSERT_TRUE(other.connectTo(port));
  other.sendCommand("hi", vinaro::Command{vinaro::Command::Hello{"R", "r", 1}});
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return std::any_of(messages.begin(), messages.end(), [](const auto& m) { return m.second.id == "hi"; }); },
      GuestClient::timeoutMs));
}

}  // namespace
}  // namespace kovali
