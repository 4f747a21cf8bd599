// Searching, connecting, keeping and losing the connection, against fake HEOS devices on
// 127.0.0.2 and 127.0.0.3 and an SSDP responder on 127.0.0.1, with virtual time for the waits
// and short scans.

#include <cstddef>
#include <new>

#include <QNetworkDatagram>
#include <QTest>
#include <QUdpSocket>
#include <gtest/gtest.h>

#include "heos/heos_controller.h"
#include "platform/runtime/in_memory_preferences.h"
#include "support/fake_heos_device.h"
#include "support/manual_scheduler.h"

namespace kovali {
namespace {

using Status = HEOSController::Status;
using Kind = HEOSController::Status::Kind;

const QString kKey = "heos.configuration";
const std::string kLineIn = "inputs/line_in_1";
const char* const kReconnecting = "Lost the connection to HEOS. Reconnecting\u2026";

/// Stands in for the SSDP multicast group: every search it receives is answered by a HEOS device
/// answer from each address of `devices`, in order.
class SSDPResponder {
 public:
  explicit SSDPResponder(std::vector<QString> devices) {
    ok = listener_.bind(QHostAddress("127.0.0.1"), 0);
    for (const auto& address : devices) {
      auto& socket = *answerers_.emplace_back(std::make_unique<QUdpSocket>());
      ok = ok && socket.bind(QHostAddress(address), 0);
    }
    QObject::connect(&listener_, &QUdpSocket::readyRead, [this] { answer(); });
  }

  SSDPTarget target() const { return {"127.0.0.1", listener_.localPort()}; }

  bool ok = false;
  int searches = 0;

 private:
  void answer() {
    while (listener_.hasPendingDatagrams()) {
      const QNetworkDatagram search = listener_.receiveDatagram();
      ++searches;
      for (auto& socket : answerers_) {
        socket->writeDatagram("HTTP/1.1 200 OK\r\nST: urn:schemas-denon-com:device:ACT-Denon:1\r\n\r\n",
                              search.senderAddress(), search.senderPort());
      }
    }
  }

  QUdpSocket listener_;
  std::vector<std::unique_ptr<QUdpSocket>> answerers_;
};

/// A controller whose log, change notices and statuses the test reads.
class WatchedController : public HEOSController {
 public:
  WatchedController(InMemoryPreferences& preferences, ManualScheduler& scheduler, HEOSNetwork network)
      : HEOSController(preferences, kKey, "heos.presets", scheduler, std::move(network)) {
    connect(this, &HEOSController::logged, [this](const std::string& line) { lines.push_back(line); });
    connect(this, &HEOSController::statusChanged, [this] { statuses.push_back(status()); });
  }

  bool logged(const std::string& line) const { return std::count(lines.begin(), lines.end(), line) > 0; }

  std::vector<std::string> lines;
  std::vector<Status> statuses;
};

class HEOSConnectionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(device.listen());
    ASSERT_TRUE(responder.ok);
    device.players = {{.pid = 3, .name = "Kitchen", .gid = 3, .ip = "127.0.0.2"},
                      {.pid = 5, .name = "Den", .gid = 3, .ip = "127.0.0.2"}};
    device.groups = {{.gid = 3, .name = "Kitchen + Den", .players = {3, 5}}};
    device.sources[1027] = {};
    device.sources[3] = {{"Line In", kLineIn}, {"Aux", "inputs/aux_in_1"}};
    device.sources[5] = {{"Optical", "inputs/optical_in_1"}};
  }

  WatchedController& make(const char* stored = nullptr) {
    if (stored) preferences.setValue(kKey, QByteArray(stored));
    controller = std::make_unique<WatchedController>(
        preferences, scheduler, HEOSNetwork{device.port(), responder.target(), 0.2});
    return *controller;
  }

  static bool settle(const std::function<bool()>& done) { return QTest::qWaitFor(done, 10'000); }
  bool connectedTo(const std::string& host) const { return controller->status() == Status::connected(host); }

  /// The lines the device read on one of its connections.
  std::vector<std::string> linesOn(const FakeHEOSDevice& fake, int connection) const {
    std::vector<std::string> lines;
    for (const auto& entry : fake.received) {
      if (entry.connection == connection) lines.push_back(entry.line);
    }
    return lines;
  }

  InMemoryPreferences preferences;
  ManualScheduler scheduler;
  FakeHEOSDevice device{QHostAddress("127.0.0.2")};
  SSDPResponder responder{{"127.0.0.2"}};
  std::unique_ptr<WatchedController> controller;
};

TEST_F(HEOSConnectionTest, FindsTheDeviceBySSDPConnectsAndKeepsTheConnectionAlive) {
  auto& heos = make();

  heos.search();
  EXPECT_EQ(heos.status(), Status::searching());
  ASSERT_TRUE(settle([&] { return connectedTo("127.0.0.2"); }));

  EXPECT_EQ(heos.statuses, (std::vector<Status>{Status::searching(), Status::connecting(),
                                                Status::connected("127.0.0.2")}));
  EXPECT_EQ(heos.lines, (std::vector<std::string>{"discovery found 127.0.0.2",
                                                  "connected to 127.0.0.2: 2 zones, 1 groups, 3 inputs"}));
  EXPECT_EQ(linesOn(device, 1), (std::vector<std::string>{
                                    "heos://system/register_for_change_events?enable=off",
                                    "heos://player/get_players",
                                    "heos://group/get_groups",
                                    "heos://browse/browse?sid=1027",
                                    "heos://browse/browse?sid=5",
                                    "heos://browse/browse?sid=3",
                                    "heos://player/get_play_state?pid=5",
                                    "heos://player/get_now_playing_media?pid=5",
                                    "heos://player/get_volume?pid=5",
                                    "heos://player/get_play_state?pid=3",
                                    "heos://player/get_now_playing_media?pid=3",
                                    "heos://player/get_volume?pid=3",
                                }));
  EXPECT_EQ(linesOn(device, 2), std::vector<std::string>{"heos://system/register_for_change_events?enable=on"});
  EXPECT_EQ(heos.detailText(), "2 zones · 127.0.0.2");
  EXPECT_EQ(heos.lastError(), std::nullopt);

  const auto before = device.received.size();
  scheduler.advance(29.9);
  scheduler.advance(0.1);
  ASSERT_TRUE(device.waitForCommands(before + 1));
  // The reply came once the next wait has begun beside the beat's own time limit.
  ASSERT_TRUE(settle([&] { return scheduler.pendingCount() == 2; }));
  scheduler.advance(30);
  ASSERT_TRUE(device.waitForCommands(before + 2));
  EXPECT_EQ(device.commandsNamed("system/heart_beat").size(), 2u);
  EXPECT_EQ(device.commandsNamed("system/heart_beat").back().connection, 1);
  EXPECT_EQ(heos.status(), Status::connected("127.0.0.2"));
}

TEST_F(HEOSConnectionTest, ConnectingStartsThePartyOnTheZonesWhenItPlays) {
  auto& heos = make(R"({"sourceID":3,"inputMid":"inputs/line_in_1","inputName":"Line In","zones":[3],"startWithParty":true})");
  heos.partyIsPlaying = true;

  heos.search();

  ASSERT_TRUE(settle([&] { return !device.commandsNamed("browse/play_input").empty(); }));
  EXPECT_TRUE(heos.logged("the party is playing; starting HEOS"));
  EXPECT_EQ(device.commandsNamed("group/set_group").front().line, "heos://group/set_group?pid=3")
      << "Kitchen alone ends the group it heads";
}

TEST_F(HEOSConnectionTest, AConfiguredHostIsTriedAloneAndItsTimeLimitsGiveTheirTexts) {
  auto& heos = make(R"({"host":"127.0.0.2","startWithParty":false})");
  device.faults["player/get_players"].noAnswer = true;

  heos.search();
  ASSERT_TRUE(device.waitForCommands(2));
  scheduler.advance(10);
  ASSERT_TRUE(settle([&] { return heos.status().kind == Kind::failed; }));
  EXPECT_EQ(heos.lines, std::vector<std::string>{"127.0.0.2: HEOS did not answer player/get_players in time."});
  EXPECT_EQ(heos.status(), Status::failed("No HEOS device answered at 127.0.0.2."));
  EXPECT_EQ(heos.statuses.front(), Status::connecting()) << "no search with a configured host";
  EXPECT_EQ(responder.searches, 0);

  heos.lines.clear();
  heos.search();
  scheduler.advance(4);  // before the event loop could finish connecting
  ASSERT_TRUE(settle([&] { return !heos.lines.empty(); }));
  EXPECT_TRUE(heos.lines[0].starts_with("127.0.0.2: 127.0.0.2 did not answer (states: ")) << heos.lines[0];
  EXPECT_TRUE(heos.lines[0].ends_with(").")) << heos.lines[0];
}

TEST_F(HEOSConnectionTest, NothingFoundAfterTwoScansAndAPause) {
  SSDPResponder silent{std::vector<QString>{}};
  ASSERT_TRUE(silent.ok);
  controller = std::make_unique<WatchedController>(preferences, scheduler,
                                                   HEOSNetwork{device.port(), silent.target(), 0.2});
  auto& heos = *controller;

  heos.search();
  ASSERT_TRUE(settle([&] { return scheduler.pendingCount() > 0; })) << "the pause after the first scan";
  EXPECT_EQ(heos.status(), Status::searching());
  scheduler.advance(1);
  ASSERT_TRUE(settle([&] { return heos.status() == Status::notFound(); }));

  EXPECT_EQ(silent.searches, 2);
  EXPECT_EQ(heos.lines, std::vector<std::string>{"discovery found nothing"});
  EXPECT_EQ(heos.detailText(), "Check that this computer is on the same network as the HEOS devices.");
}

TEST_F(HEOSConnectionTest, FoundDevicesThatRefuseGiveTheSentenceAboutReachingThem) {
  device.stopListening();
  auto& heos = make();

  heos.search();
  ASSERT_TRUE(settle([&] { return heos.status().kind == Kind::failed; }));

  EXPECT_EQ(heos.status().text,
            "HEOS devices were found, but Kovali can't connect to them. Check that no firewall on this computer "
            "blocks Kovali from reaching them on TCP port 1255.");
  ASSERT_EQ(heos.lines.size(), 2u);
  EXPECT_TRUE(heos.lines[1].starts_with("127.0.0.2: ")) << heos.lines[1];
}

TEST_F(HEOSConnectionTest, ASecondaryZoneLeadsToItsMainUnitAndIsTriedAgainWhenThatFails) {
  FakeHEOSDevice mainUnit{QHostAddress("127.0.0.3"), device.port()};
  const std::vector<FakeHEOSDevice::Player> receiver{{.pid = 1, .name = "Living", .ip = "127.0.0.3"},
                                                     {.pid = 2, .name = "Zone 2", .ip = "127.0.0.2", .serial = ""}};
  device.players = receiver;
  device.groups.clear();
  mainUnit.players = receiver;
  device.sources = {{1027, {}}, {1, {{"Line In", kLineIn}}}};
  mainUnit.sources = device.sources;
  ASSERT_TRUE(mainUnit.listen());
  auto& heos = make(R"({"host":"127.0.0.2","startWithParty":false})");

  heos.search();
  ASSERT_TRUE(settle([&] { return heos.status().kind == Kind::connected; }));
  EXPECT_EQ(heos.lines.front(), "127.0.0.2 is a secondary zone; connecting to 127.0.0.3 instead");
  EXPECT_EQ(heos.status(), Status::connected("127.0.0.3"));
  EXPECT_EQ(heos.statuses, (std::vector<Status>{Status::connecting(), Status::connected("127.0.0.3")}));

  mainUnit.stopListening();
  heos.lines.clear();
  heos.search();
  ASSERT_TRUE(settle([&] { return heos.status().kind == Kind::connected; }));
  EXPECT_EQ(heos.status(), Status::connected("127.0.0.2"));
  ASSERT_EQ(heos.lines.size(), 3u) << "one redirect only";
  EXPECT_EQ(heos.lines[0], "127.0.0.2 is a secondary zone; connecting to 127.0.0.3 instead");
  EXPECT_TRUE(heos.lines[1].starts_with("127.0.0.3: ")) << heos.lines[1];
  EXPECT_EQ(heos.lines[2], "connected to 127.0.0.2: 2 zones, 0 groups, 1 inputs");
}

TEST_F(HEOSConnectionTest, ADropReconnectsAfterAGrowingPauseThatStartsOverAfterASuccess) {
  auto& heos = make(R"({"host":"127.0.0.2","startWithParty":true})");
  heos.search();
  ASSERT_TRUE(settle([&] { return connectedTo("127.0.0.2"); }));
  const auto attempts = [&] { return std::count(heos.statuses.begin(), heos.statuses.end(), Status::connecting()); };

  device.stopListening();
  device.closeConnections();
  ASSERT_TRUE(settle([&] { return heos.status() == Status::failed(kReconnecting); }));
  EXPECT_TRUE(heos.logged("connection lost: HEOS closed the connection."));
  for (const double pause : {5, 10, 20, 40, 60, 60}) {
    const auto before = attempts();
    scheduler.advance(pause - 0.1);
    EXPECT_EQ(attempts(), before) << pause;
    scheduler.advance(0.1);
    EXPECT_EQ(attempts(), before + 1) << pause;
    ASSERT_TRUE(settle([&] { return heos.status() == Status::failed("No HEOS device answered at 127.0.0.2."); }));
  }

  ASSERT_TRUE(device.listen());
  scheduler.advance(60);
  ASSERT_TRUE(settle([&] { return connectedTo("127.0.0.2"); }));
  device.closeConnections();
  ASSERT_TRUE(settle([&] { return heos.status() == Status::failed(kReconnecting); }));
  scheduler.advance(5);
  ASSERT_TRUE(settle([&] { return connectedTo("127.0.0.2"); })) << "after a success the pause is 5 s again";
}

TEST_F(HEOSConnectionTest, TwoQuickSearchesLeaveOneAttemptAndTheFirstNeverClosesTheSecondsSocket) {
  auto& heos = make(R"({"host":"127.0.0.2","startWithParty":false})");

  heos.search();
  heos.search();
  ASSERT_TRUE(settle([&] { return connectedTo("127.0.0.2"); }));
  QTest::qWait(100);

  EXPECT_TRUE(linesOn(device, 1).empty()) << "the first attempt's socket is closed once it opens";
  EXPECT_EQ(std::count(heos.statuses.begin(), heos.statuses.end(), Status::connected("127.0.0.2")), 1);
  EXPECT_EQ(heos.lines, std::vector<std::string>{"connected to 127.0.0.2: 2 zones, 1 groups, 3 inputs"});
  const auto before = device.received.size();
  scheduler.advance(30);
  ASSERT_TRUE(device.waitForCommands(before + 1));
  EXPECT_EQ(device.received.back().line, "heos://system/heart_beat");
  EXPECT_EQ(heos.status(), Status::connected("127.0.0.2"));
}

TEST_F(HEOSConnectionTest, AnAttemptSupersededWhileItListsTheInputsListsAndLogsNothingMore) {
  auto& heos = make(R"({"host":"127.0.0.2","startWithParty":false})");
  device.faults["browse/browse"].noAnswer = true;

  heos.search();
  ASSERT_TRUE(settle([&] { return !device.commandsNamed("browse/browse").empty(); }));
  heos.search();
  device.faults.clear();
  ASSERT_TRUE(settle([&] { return connectedTo("127.0.0.2"); }));
  QTest::qWait(100);

  EXPECT_EQ(heos.lines, std::vector<std::string>{"connected to 127.0.0.2: 2 zones, 1 groups, 3 inputs"});
  const auto second = linesOn(device, 2);
  EXPECT_EQ(std::count(second.begin(), second.end(), "heos://browse/browse?sid=1027"), 1)
      << "only the second attempt lists the inputs on its connection";
  EXPECT_EQ(heos.inputs().size(), 3u);
}

TEST_F(HEOSConnectionTest, SwitchingOffStopsThePartysZoneThenDisconnectsUnlessSwitchedOnAgain) {
  device.players[0].state = "play";
  device.players[0].mid = kLineIn;
  device.groups.clear();
  for (auto& player : device.players) player.gid.reset();
  auto& heos = make(R"({"host":"127.0.0.2","sourceID":3,"inputMid":"inputs/line_in_1","zones":[3],"startWithParty":true})");
  heos.search();
  ASSERT_TRUE(settle([&] { return connectedTo("127.0.0.2"); }));
  ASSERT_TRUE(heos.isPlayingParty());

  device.holdReplies = true;
  heos.setStartWithParty(false);
  ASSERT_TRUE(settle([&] { return !device.commandsNamed("player/set_play_state").empty(); }));
  heos.setStartWithParty(true);
  device.holdReplies = false;
  device.flush();
  ASSERT_TRUE(settle([&] { return heos.logged("stopped Kitchen"); }));
  EXPECT_EQ(heos.status(), Status::connected("127.0.0.2")) << "switched on again before the stop ended";

  heos.setStartWithParty(false);
  ASSERT_TRUE(settle([&] { return heos.status() == Status::off(); }));
  EXPECT_EQ(heos.lastError(), std::nullopt);
  EXPECT_FALSE(heos.logged("connection lost: HEOS closed the connection."));
  EXPECT_FALSE(heos.isPlayingParty()) << "the host stopped it";
  EXPECT_EQ(heos.stateText(), "Stopped.");
}

TEST_F(HEOSConnectionTest, ALostConnectionLeavesNoPartyShownAsPlaying) {
  device.players[0].state = "play";
  device.players[0].mid = kLineIn;
  device.groups.clear();
  for (auto& player : device.players) player.gid.reset();
  auto& heos = make(R"({"host":"127.0.0.2","sourceID":3,"inputMid":"inputs/line_in_1","zones":[3],"startWithParty":true})");
  heos.search();
  ASSERT_TRUE(settle([&] { return connectedTo("127.0.0.2") && heos.isPlayingParty(); }));

  device.stopListening();
  device.closeConnections();
  ASSERT_TRUE(settle([&] { return heos.status() == Status::failed(kReconnecting); }));
  EXPECT_FALSE(heos.isPlayingParty());
  EXPECT_NE(heos.stateText(), "Playing in Kitchen.");
}

TEST_F(HEOSConnectionTest, AControllerGoneWhileTheInputsLoadLeavesItsAttemptWithoutTouchingIt) {
  preferences.setValue(kKey, QByteArray(R"({"host":"127.0.0.2","startWithParty":false})"));
  device.faults["browse/browse"].noAnswer = true;
  alignas(WatchedController) std::byte storage[sizeof(WatchedController)];
  auto* heos = new (storage)
      WatchedController(preferences, scheduler, HEOSNetwork{device.port(), responder.target(), 0.2});

  heos->search();
  ASSERT_TRUE(settle([&] { return !device.commandsNamed("browse/browse").empty(); }));
  heos->~WatchedController();
  // Its memory goes to whatever comes next; a pattern that is no valid address shows any use.
  for (std::size_t i = 0; i < sizeof(storage); ++i) storage[i] = static_cast<std::byte>(0xA5 ^ i);
  QTest::qWait(200);  // the closed connection fails the browse, and the attempt wakes up

  EXPECT_EQ(device.commandsNamed("player/get_play_state").size(), 0u);
}

TEST_F(HEOSConnectionTest, ABlankHostMeansFindingTheDeviceBySSDP) {
  auto& heos = make(R"({"host":"127.0.0.9","startWithParty":false})");

  heos.setHost("   ");

  EXPECT_EQ(heos.configuration().host, std::nullopt);
  ASSERT_TRUE(settle([&] { return connectedTo("127.0.0.2"); }));
  EXPECT_EQ(responder.searches, 1);
}

}  // namespace
}  // namespace kovali
