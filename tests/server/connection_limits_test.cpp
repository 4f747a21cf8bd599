// What one address, a silent phone or an oversized text can hold of the guests' port, on loopback:
// a second source address is 127.0.0.2, which Linux routes to loopback without any setup.

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <memory>
#include <vector>

#include <QTcpSocket>

#include "protocol/command_limits.h"
#include "protocol/message_codec.h"
#include "server/connection_budget.h"
#include "server/host_server_fixture.h"
#include "support/log_capture.h"
#include "support/stalled_phone.h"

namespace kovali {
namespace {

using vinaro::Command;

/// A plain TCP connection from `source` to the guests' port.
std::unique_ptr<QTcpSocket> openFrom(const QString& source, std::uint16_t port) {
  auto socket = std::make_unique<QTcpSocket>();
  socket->bind(QHostAddress(source));
  socket->connectToHost(QHostAddress(QHostAddress::LocalHost), port);
  if (!socket->waitForConnected(GuestClient::timeoutMs)) return nullptr;
  return socket;
}

/// Whether the host answers an HTTP request on `socket` (any answer shows it was taken in).
bool answersHTTP(QTcpSocket& socket) {
  socket.write("GET /artwork/none HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n");
  return QTest::qWaitFor([&] { return socket.bytesAvailable() > 0 && socket.peek(5) == "HTTP/"; },
                         GuestClient::timeoutMs);
}

bool closedByHost(QTcpSocket& socket) {
  return QTest::qWaitFor([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, GuestClient::timeoutMs);
}

/// The ways a phone's WebSocket ends, by the phone or by the host.
enum class Leaving { cleanClose, drop, reset, refusedHello, helloDeadline, unsentCap };

struct LeavingCase {
  const char* name;
  Leaving leaving;
};

const LeavingCase leavingCases[] = {
    {"a clean close", Leaving::cleanClose},        {"a dropped connection", Leaving::drop},
    {"a reset", Leaving::reset},                   {"a refused hello", Leaving::refusedHello},
    {"the hello deadline", Leaving::helloDeadline}, {"the unsent cap", Leaving::unsentCap},
};

const std::string hello = commandMessage("hi", Command{Command::Hello{"Ana", "device-1", 1}});

class ConnectionLimitsTest : public HostServerFixture {
 protected:
  void SetUp() override { port = startReady(); }

  /// One visit of a phone from `source` to `host` (this fixture's server unless given), ended as
  /// `leaving` says; false when the phone was not let in or the host did not see it go.
  [[nodiscard]] bool visit(Leaving leaving, std::uint32_t source = 0x7F000001, HostServer* host = nullptr,
                           std::uint16_t to = 0) {
    HostServer& target = host ? *host : *server;
    const std::uint16_t targetPort = to ? to : port;
    const int staying = target.connectionCount();
    const auto gone = [&] {
      return QTest::qWaitFor([&] { return target.connectionCount() == staying; }, GuestClient::timeoutMs);
    };
    if (leaving == Leaving::cleanClose) {
      GuestClient phone;
      if (!phone.connectTo(targetPort)) return false;
      phone.sendText(hello);
      phone.socket.close();
      return gone();
    }
    auto phone = std::make_unique<StalledPhone>();
    if (!phone->connectTo(targetPort, source)) return false;
    if (!QTest::qWaitFor([&] { return target.connectionCount() == staying + 1; }, GuestClient::timeoutMs)) return false;
    switch (leaving) {
      case Leaving::drop: phone.reset(); break;
      case Leaving::reset: phone->reset(); break;
      case Leaving::refusedHello:
        if (!phone->sendText(R"({"v":2,"id":"V2","replyTo":null,"type":"hello","payload":{}})")) return false;
        break;
      case Leaving::helloDeadline: scheduler.advance(HostServer::helloSeconds); break;
      case Leaving::unsentCap: {
        const std::size_t before = messages.size();
        if (!phone->sendText(hello) || !waitForMessages(before + 1)) return false;
        const vinaro::Event filler{vinaro::ProtocolError::badRequest(std::string(64 << 10, 'f'))};
        const ConnectionID id = messages.back().first;
        for (int sent = 0; sent < 400 && target.connectionCount() > staying; ++sent) target.send(filler, id);
        break;
      }
      case Leaving::cleanClose: break;
    }
    // A phone the host closes sees it once the host's socket, and its place, are gone.
    const bool closedByHost = leaving != Leaving::drop && leaving != Leaving::reset;
    return gone() && (!closedByHost || QTest::qWaitFor([&] { return phone->drain() < 0; }, GuestClient::timeoutMs));
  }

  std::uint16_t port = 0;
};

TEST_F(ConnectionLimitsTest, OneAddressHoldsSixteenConnectionsAndAnotherAddressIsStillServed) {
  std::vector<std::unique_ptr<QTcpSocket>> held;
  for (std::size_t i = 0; i < HostServer::maxConnectionsPerAddress; ++i) {
    held.push_back(openFrom("127.0.0.1", port));
    ASSERT_TRUE(held.back()) << i;
  }
  // Not asked anything: an answered request may end its connection and free its place.

  auto refused = openFrom("127.0.0.1", port);
  ASSERT_TRUE(refused);
  EXPECT_TRUE(closedByHost(*refused)) << "the seventeenth is closed at once";

  auto other = openFrom("127.0.0.2", port);
  ASSERT_TRUE(other);
  EXPECT_TRUE(answersHTTP(*other)) << "another address is not held back";

  held.back()->abort();
  held.pop_back();
  const bool placeFreed = QTest::qWaitFor(
      [&] {
        auto again = openFrom("127.0.0.1", port);
        return again && answersHTTP(*again);
      },
      GuestClient::timeoutMs);
  EXPECT_TRUE(placeFreed) << "a closed connection gives its place back";
}

TEST_F(ConnectionLimitsTest, APhoneComingAndGoingFortyTimesFromOneAddressIsLetInAgainHoweverItLeft) {
  // The address's other phones stay throughout: each visit takes its last place.
  std::vector<std::unique_ptr<StalledPhone>> others;
  for (std::size_t i = 0; i + 1 < HostServer::maxConnectionsPerAddress; ++i) {
    others.push_back(std::make_unique<StalledPhone>());
    ASSERT_TRUE(others.back()->connectTo(port) && others.back()->sendText(hello));
  }
  const int staying = static_cast<int>(others.size());
  ASSERT_TRUE(waitForConnections(staying));
  for (const auto& c : leavingCases) {
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(visit(c.leaving)) << c.name << ", visit " << i;
    GuestClient again;
    EXPECT_TRUE(again.connectTo(port)) << c.name;
    auto beyond = openFrom("127.0.0.1", port);
    EXPECT_TRUE(beyond && closedByHost(*beyond)) << c.name << ": each place was given back once";
    again.socket.close();
    ASSERT_TRUE(waitForConnections(staying));
  }
}

TEST_F(ConnectionLimitsTest, MoreVisitsThanThePortHoldsInAllLeaveNoPlaceTaken) {
  // A port built under a low descriptor limit holds 64 connections in all.
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit low = saved;
  low.rlim_cur = 256 + 64;
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &low), 0);
  auto fake = std::make_unique<FakeServiceAdvertiser>();
  auto* registrar = fake.get();
  HostServer small(scheduler, std::move(fake), QHostAddress(QHostAddress::LocalHost));
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  small.start();
  const std::uint16_t smallPort = confirmReadyPort(*registrar, small);

  for (std::uint32_t i = 0; i < 100; ++i) {
    const Leaving leaving = i % 2 ? Leaving::drop : Leaving::reset;
    ASSERT_TRUE(visit(leaving, 0x7F000100 + i % 50, &small, smallPort)) << "visit " << i;
  }
  GuestClient fresh;
  EXPECT_TRUE(fresh.connectTo(smallPort)) << "a new phone is let in after a crowd has come and gone";
  small.stop();
}

TEST(ConnectionBudget, RefusesPastEachAddressesShareAndPastTheTotal) {
  ConnectionBudget budget(2, 3);
  EXPECT_TRUE(budget.take("a"));
  EXPECT_TRUE(budget.take("a"));
  EXPECT_FALSE(budget.take("a"));
  EXPECT_TRUE(budget.take("b"));
  EXPECT_FALSE(budget.take("c")) << "the port is full";
  budget.giveBack("a");
  EXPECT_TRUE(budget.take("c"));
  EXPECT_EQ(budget.open(), 3u);
}

TEST(ConnectionBudget, TheTotalStaysBelowTheDescriptorLimit) {
  struct Case {
    std::size_t descriptors;
    std::size_t total;
  } cases[] = {{1024, 768}, {524'288, 4096}, {200, 16}};
  for (const auto& c : cases) EXPECT_EQ(HostServer::connectionLimit(c.descriptors), c.total) << c.descriptors;
}

TEST_F(ConnectionLimitsTest, AWebSocketWithoutAHelloIsClosedAfterTenSecondsAndAGreetedOneStays) {
  GuestClient silent, greeted;
  ASSERT_TRUE(silent.connectTo(port));
  ASSERT_TRUE(greeted.connectTo(port));
  ASSERT_TRUE(waitForConnections(2));
  greeted.sendCommand("hi", Command{Command::Hello{"Ana", "device-1", 1}});
  ASSERT_TRUE(waitForMessages(1));

  scheduler.advance(HostServer::helloSeconds - 1);
  QCoreApplication::processEvents();
  EXPECT_TRUE(disconnects.empty());
  scheduler.advance(1);
  ASSERT_TRUE(silent.waitForDisconnect());
  EXPECT_EQ(disconnects, std::vector<ConnectionID>{ConnectionID{1}});
  scheduler.advance(HostServer::helloSeconds * 3);
  QCoreApplication::processEvents();
  EXPECT_TRUE(greeted.isConnected());
  EXPECT_EQ(server->connectionCount(), 1);
}

TEST_F(ConnectionLimitsTest, ATextOverItsByteLimitIsAnsweredWithBadRequestAndNotHandedOn) {
  GuestClient phone;
  ASSERT_TRUE(phone.connectTo(port));
  phone.sendCommand("s1", Command{Command::Search{std::string(vinaro::CommandLimits::maxTextBytes + 1, 'q')}});
  ASSERT_TRUE(phone.waitForMessages(1));
  const auto reply = phone.event(0);
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->replyTo, "s1");
  const auto* error = std::get_if<vinaro::ProtocolError>(&reply->body.payload);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, vinaro::ProtocolError::Code::badRequest);
  phone.sendCommand("s2", Command{Command::Search{std::string(vinaro::CommandLimits::maxTextBytes, 'q')}});
  ASSERT_TRUE(waitForMessages(1));
  EXPECT_EQ(messages.front().second.id, "s2") << "only the text within its limit reached the owner";
}

TEST_F(ConnectionLimitsTest, RunningOutOfDescriptorsPausesAcceptingUntilTheyAreFreeAgain) {
  LogCapture log("kovaliapp.net");
  // Objects still waiting to be deleted would give their descriptors back in the middle of the wait.
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  // The phones connect first; then every descriptor left under a lowered limit is taken, so the host's
  // accept fails however many descriptors other threads happen to hold.
  auto first = openFrom("127.0.0.1", port);
  auto second = openFrom("127.0.0.2", port);
  ASSERT_TRUE(first && second);
  rlimit saved{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &saved), 0);
  rlimit tight = saved;
  tight.rlim_cur = std::min<rlim_t>(saved.rlim_cur, 4096);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &tight), 0);
  std::vector<int> filler;
  int lastError = 0;
  // Taken again before every turn of the event loop until the host has failed to accept: one that
  // another thread of the process closed meanwhile would let the host take the phones in.
  const auto takeFreeDescriptors = [&] {
    for (int fd; (fd = dup(STDERR_FILENO)) >= 0;) filler.push_back(fd);
    lastError = errno;
  };
  const bool paused = QTest::qWaitFor(
      [&] {
        takeFreeDescriptors();
        return log.hasLineStartingWith("The guest server cannot accept connections for now");
      },
      GuestClient::timeoutMs);
  for (const int fd : filler) close(fd);
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &saved), 0);
  ASSERT_EQ(lastError, EMFILE) << "the descriptors did not run out (errno " << lastError << ")";
  ASSERT_TRUE(paused) << filler.size() << " descriptors taken; " << testing::PrintToString(log.lines());

  scheduler.advance(1);
  EXPECT_TRUE(answersHTTP(*first)) << "taken in once descriptors are free";
  EXPECT_TRUE(answersHTTP(*second));
  auto later = openFrom("127.0.0.3", port);
  ASSERT_TRUE(later);
  EXPECT_TRUE(answersHTTP(*later)) << "on the same port";
}

}  // namespace
}  // namespace kovali
