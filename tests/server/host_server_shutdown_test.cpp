// A host that goes away while phones are in the middle of large messages, on loopback. Its
// connections go one by one, each waking those that wait for the shared pool, which read on: what
// they read must reach nothing of the server that is going (run under valgrind to see it).

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "server/host_server_fixture.h"
#include "support/stalled_phone.h"

namespace kovali {
namespace {

class HostServerShutdownTest : public HostServerFixture {
 protected:
  /// A server of its own, listening, that the test may end.
  std::unique_ptr<HostServer> startedServer(std::uint16_t& port) {
    auto fake = std::make_unique<FakeServiceAdvertiser>();
    FakeServiceAdvertiser& advertised = *fake;
    auto made = std::make_unique<HostServer>(scheduler, std::move(fake), QHostAddress(QHostAddress::LocalHost));
    made->start();
    port = confirmReadyPort(advertised, *made);
    return made;
  }

  /// `count` phones connected to `port` from a few addresses, each sending no faster than the host reads.
  static std::vector<std::unique_ptr<StalledPhone>> phones(std::uint16_t port, int count, std::uint32_t from) {
    std::vector<std::unique_ptr<StalledPhone>> made;
    for (int i = 0; i < count; ++i) {
      made.push_back(std::make_unique<StalledPhone>());
      EXPECT_TRUE(made.back()->connectTo(port, from + static_cast<std::uint32_t>(i % 8))) << i;
      made.back()->smallSendBuffer();
    }
    return made;
  }
};

TEST_F(HostServerShutdownTest, AHostGoingAwayWhileThePoolIsInUseLetsEveryPhoneGo) {
  struct Case {
    const char* name;
    bool stoppedFirst;
  } cases[] = {
      {"destroyed while serving", false},
      {"stopped, then destroyed before its phones have gone", true},
  };
  constexpr qint64 share = HostServer::maxMessageBytes - GuestLimits::ownReadBytes;
  constexpr qint64 shares = GuestLimits::incomingPoolBytes / share;
  const std::string large = StalledPhone::frameHeader(HostServer::maxMessageBytes) +
                            std::string(static_cast<std::size_t>(HostServer::maxMessageBytes), ' ');
  const std::string_view allButLast = std::string_view(large).substr(0, large.size() - 1);
  // Takes what the holders leave of the pool with its first frame, and waits for the rest.
  const auto firstFrame = static_cast<std::size_t>(GuestLimits::ownReadBytes + GuestLimits::incomingPoolBytes % share);
  const std::string inTwoFrames = StalledPhone::frameHeader(firstFrame, 0x01) + std::string(firstFrame, ' ') +
                                  StalledPhone::frameHeader(HostServer::maxMessageBytes - firstFrame, 0x80) +
                                  std::string(1 << 16, ' ');
  // Its second frame waits for a little of the pool, whole in the host's socket: woken, it is
  // read to its end at once.
  std::string command = commandMessage("hi", vinaro::Command{vinaro::Command::Hello{"S", "d", 1}});
  command.resize(20 << 10, ' ');
  const auto own = static_cast<std::size_t>(GuestLimits::ownReadBytes);
  const std::string lastFrameWaiting = StalledPhone::frameHeader(own, 0x01) + command.substr(0, own) +
                                       StalledPhone::frameHeader(command.size() - own, 0x80) + command.substr(own);

  for (const auto& c : cases) {
    std::uint16_t port = 0;
    auto doomed = startedServer(port);
    int received = 0;
    QObject::connect(doomed.get(), &HostServer::messageReceived, [&] { ++received; });
    auto holders = phones(port, static_cast<int>(shares) + 2, 0x7F000010);
    auto partly = phones(port, 1, 0x7F000020);
    auto finishing = phones(port, 2, 0x7F000021);
    std::vector<std::size_t> held(holders.size(), 0), took(1, 0), waited(finishing.size(), 0);
    sendFromEach(holders, allButLast, held);
    ASSERT_EQ(std::ranges::count(held, allButLast.size()), shares) << c.name << ": the pool is in use";
    sendFromEach(partly, inTwoFrames, took);
    ASSERT_GT(took[0], firstFrame) << c.name;
    sendFromEach(finishing, lastFrameWaiting, waited);
    ASSERT_EQ(waited, std::vector<std::size_t>(finishing.size(), lastFrameWaiting.size())) << c.name;
    ASSERT_EQ(received, 0) << c.name << ": the pool is taken to the last byte";

    if (c.stoppedFirst) doomed->stop();
    doomed.reset();
    const auto allLetGo = [](auto& group) {
      return std::ranges::all_of(group, [](auto& p) { return p->drain() < 0; });
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return allLetGo(holders) && allLetGo(partly) && allLetGo(finishing); },
                                GuestClient::timeoutMs))
        << c.name;
    scheduler.advance(GuestLimits::stallSeconds * 2);  // the closing connections' stall checks fall due
    QCoreApplication::processEvents();
  }
}

}  // namespace
}  // namespace kovali
