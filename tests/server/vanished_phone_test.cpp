// Phones that leave the network without a word, as out of range or out of battery: the host lets
// them go. The host's side is a network namespace of this test's process, the phones' another one
// behind a virtual cable. Needs root; skipped without it.

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <utility>

#include <QElapsedTimer>

#include "model/session_state.h"
#include "server/guest_limits.h"
#include "server/host_server_fixture.h"
#include "support/log_capture.h"
#include "support/stalled_phone.h"

namespace kovali {
namespace {

const QHostAddress hostAddress("10.77.0.1"), phoneAddress("10.77.0.2");

bool run(const std::string& command) { return std::system(command.c_str()) == 0; }

class VanishedPhoneTest : public HostServerFixture {
 protected:
  VanishedPhoneTest() : HostServerFixture(hostAddress) {}

  void SetUp() override {
    if (geteuid() != 0) GTEST_SKIP() << "Needs root for network namespaces.";
    ASSERT_EQ(unshare(CLONE_NEWNET), 0) << "the host's side, this process's alone";
    phones = "kovali-vanish-" + std::to_string(getpid());
    const std::string in = "ip -n " + phones + " ";
    ASSERT_TRUE(run("ip link set lo up && ip netns add " + phones + " && ip link add kvA type veth peer name kvB netns " +
                    phones + " && ip addr add 10.77.0.1/24 dev kvA && ip link set kvA up && " + in +
                    "addr add 10.77.0.2/24 dev kvB && " + in + "link set kvB up"));
    port = startReady();
  }

  void TearDown() override {
    HostServerFixture::TearDown();
    if (!phones.empty()) run("ip netns del " + phones);
  }

  /// Connects `phone` from the phones' side and has it say hello.
  [[nodiscard]] bool greetFromThePhonesSide(StalledPhone& phone) {
    const int here = open("/proc/thread-self/ns/net", O_RDONLY);
    const int there = open(("/run/netns/" + phones).c_str(), O_RDONLY);
    bool greeted = setns(there, CLONE_NEWNET) == 0;  // the phone's socket is made there
    greeted = greeted && phone.connectTo(port, phoneAddress, hostAddress);
    setns(here, CLONE_NEWNET);
    close(here);
    close(there);
    const std::size_t before = messages.size();
    return greeted &&
           phone.sendText(commandMessage("hi", vinaro::Command{vinaro::Command::Hello{"S", "d", 1}})) &&
           QTest::qWaitFor([&] { return messages.size() > before; }, GuestClient::timeoutMs);
  }

  std::string phones;
  std::uint16_t port = 0;
};

TEST_F(VanishedPhoneTest, AnIdlePhoneAndOneTheHostWritesToAreLetGoWithinAMinuteEachWithALineSayingWhy) {
  LogCapture log("kovaliapp.net");
  StalledPhone idle, writtenTo;
  ASSERT_TRUE(greetFromThePhonesSide(idle));
  ASSERT_TRUE(greetFromThePhonesSide(writtenTo));
  ASSERT_TRUE(run("ip -n " + phones + " addr del 10.77.0.2/24 dev kvB")) << "gone without a FIN or a reset";
  // A party it had begun when it went, and a newer one behind it.
  for (std::int64_t revision = 1; revision <= 2; ++revision) {
    auto party = vinaro::SessionState::newParty("S", std::string(1'000'000, 'x'));
    party.revision = revision;
    server->send(vinaro::Event{party}, messages.back().first);
  }

  // The host's clock keeps pace with the system's, whose probes go unanswered meanwhile.
  QElapsedTimer clock;
  clock.start();
  double advanced = 0;
  EXPECT_TRUE(QTest::qWaitFor(
      [&] {
        const double elapsed = static_cast<double>(clock.elapsed()) / 1000;
        scheduler.advance(elapsed - std::exchange(advanced, elapsed));
        return disconnects.size() == 2;
      },
      (GuestLimits::silentSeconds + 15) * 1000));
  EXPECT_EQ(server->connectionCount(), 0);
  const std::string silent = " nothing acknowledged for " + std::to_string(GuestLimits::silentSeconds) + " s";
  EXPECT_TRUE(log.hasLineStartingWith("Guest connection c1 was ended by the system:" + silent))
      << "the idle one" << testing::PrintToString(log.lines());
  EXPECT_TRUE(log.hasLineStartingWith("Guest connection c2 is let go: nothing it was sent acknowledged for " +
                                      std::to_string(GuestLimits::silentSeconds) + " s (taking nothing, 1.0 MB of old parties held"))
      << "the one written to, as the account still had it" << testing::PrintToString(log.lines());
}

}  // namespace
}  // namespace kovali
