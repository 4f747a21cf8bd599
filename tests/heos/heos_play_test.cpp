// Zones, grouping, play and stop, and presets, against a fake HEOS device on 127.0.0.2.

#include <QTest>
#include <gtest/gtest.h>

#include "heos/connected_controller.h"
#include "support/task_result.h"

namespace kovali {
namespace {

using Preset = HEOSController::Preset;

const std::string kLineIn = "inputs/line_in_1";
const std::string kAux = "inputs/aux_in_1";

class HEOSPlayTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(device.listen());
    ASSERT_TRUE(heos.connectTo(device));
    device.players = {{.pid = 3, .name = "Kitchen"}, {.pid = 5, .name = "Den"}, {.pid = 7, .name = "Hall"},
                      {.pid = 9, .name = "Attic"}, {.pid = 12, .name = "Bar"}};
  }

  /// Reads the fake's players and groups into the controller, and every player's state.
  void mirror() {
    ASSERT_TRUE(waitForResult(heos.refreshPlayersAndGroups()));
    for (const auto& player : device.players) ASSERT_TRUE(waitForResult(heos.refreshPlayer(player.pid)));
    device.received.clear();
  }

  /// HEOS follows the party, which plays, with `input` of `source` chosen on `zones`.
  void choose(std::vector<std::int64_t> zones, std::int64_t source = 3, const std::string& input = kLineIn) {
    auto c = heos.configuration();
    c.startWithParty = true;
    c.sourceID = source;
    c.inputMid = input;
    c.inputName = "Line In";
    c.zones = std::move(zones);
    c.volume = 40;
    heos.setConfiguration(c);
    heos.partyIsPlaying = true;
  }

  /// Plays, and waits until the play and the re-reads after it are over.
  void play() {
    const auto logged = heos.lines.size();
    heos.requestPlay();
    ASSERT_TRUE(settle([&] { return heos.lines.size() > logged && !heos.isApplying(); }));
  }

  /// The commands read that change something on the device (no queries), in order.
  std::vector<std::string> changesSent() const {
    std::vector<std::string> lines;
    for (const auto& entry : device.received) {
      if (entry.command.find("/get_") == std::string::npos) lines.push_back(entry.line);
    }
    return lines;
  }

  std::vector<std::string> sent(const std::string& command) const {
    std::vector<std::string> lines;
    for (const auto& entry : device.commandsNamed(command)) lines.push_back(entry.line);
    return lines;
  }

  static bool settle(const std::function<bool()>& done) { return QTest::qWaitFor(done, 10'000); }

  InMemoryPreferences preferences;
  ManualScheduler scheduler;
  FakeHEOSDevice device{QHostAddress("127.0.0.2")};
  ConnectedController heos{preferences, scheduler};
};

TEST_F(HEOSPlayTest, GroupsTheZonesBehindTheLeaderOnlyWhereTheDeviceIsNotGroupedSoYet) {
  struct Case {
    const char* name;
    std::vector<FakeHEOSDevice::Group> groups;
    std::vector<std::int64_t> zones;
    std::vector<std::string> expected;
  } cases[] = {
      {"a lone zone in another's group leaves it", {{.gid = 9, .players = {9, 5, 7}}}, {5},
       {"heos://group/set_group?pid=9,7"}},
      {"a lone zone heading a group ends it", {{.gid = 9, .players = {9, 5, 7}}}, {9}, {"heos://group/set_group?pid=9"}},
      {"a lone zone in no group", {}, {5}, {}},
      {"zones grouped so already", {{.gid = 9, .players = {5, 9}}}, {9, 5}, {}},
      {"a zone more", {{.gid = 9, .players = {9, 5}}}, {9, 5, 3}, {"heos://group/set_group?pid=9,5,3"}},
  };
  for (const auto& c : cases) {
    for (auto& player : device.players) player.gid.reset();
    device.groups = c.groups;
    for (const auto& group : c.groups) {
      for (auto& player : device.players) {
        if (std::count(group.players.begin(), group.players.end(), player.pid)) player.gid = group.gid;
      }
    }
    mirror();
    heos.lines.clear();
    choose(c.zones);

    play();

    EXPECT_EQ(sent("group/set_group"), c.expected) << c.name;
    EXPECT_EQ(sent("browse/play_input").size(), 1u) << c.name;
    EXPECT_EQ(heos.lastError(), std::nullopt) << c.name;
  }
}

TEST_F(HEOSPlayTest, TheLeaderPlaysTheInputNamingItsSourceOnlyWhenThatIsAnotherPlayer) {
  mirror();
  choose({12}, 40, kAux);
  play();
  choose({12}, 12, kAux);
  play();

  EXPECT_EQ(sent("browse/play_input"),
            (std::vector<std::string>{"heos://browse/play_input?pid=12&spid=40&input=inputs/aux_in_1",
                                      "heos://browse/play_input?pid=12&input=inputs/aux_in_1"}));
}

TEST_F(HEOSPlayTest, APlaySendsTheVolumesKeepsTheChoiceAndLogsIt) {
  mirror();
  // Connected but not following the party: the preset's zone volumes go out at once and stay
  // pending for the next play.
  heos.applyPreset(Preset{QUuid::createUuid(), "Dinner", 3, kLineIn, "Line In", {{3, "Kitchen", 30}, {7, "Hall", 10}}, 40});
  ASSERT_TRUE(settle([&] { return sent("player/set_volume").size() == 2; }));
  choose({3, 5});
  device.received.clear();
  heos.lines.clear();

  play();

  EXPECT_EQ(changesSent(), (std::vector<std::string>{
                               "heos://group/set_group?pid=5,3",
                               "heos://browse/play_input?pid=5&spid=3&input=inputs/line_in_1",
                               "heos://group/set_volume?gid=5&level=40",
                               "heos://player/set_volume?pid=3&level=30",
                           }))
      << "Den leads, first among the listed players; Hall is not chosen, so its pending volume is not sent";
  EXPECT_EQ(device.received.back().line, "heos://player/get_volume?pid=5") << "the leader is read again last";
  EXPECT_EQ(heos.lines, std::vector<std::string>{"playing Line In on Den, Kitchen at 40"});
  EXPECT_EQ(heos.configuration().zones, (std::vector<std::int64_t>{5, 3}));
  EXPECT_EQ(heos.configuration().volume, 40);
  EXPECT_TRUE(heos.isPlayingParty());
  EXPECT_EQ(heos.stateText(), "Playing in Den and Kitchen.");

  device.received.clear();
  play();
  EXPECT_TRUE(sent("group/set_group").empty()) << "grouped so already";
  EXPECT_TRUE(sent("player/set_volume").empty()) << "the pending volumes went with the first play";
}

TEST_F(HEOSPlayTest, RequestsDuringAPlayGiveExactlyOneMorePlay) {
  mirror();
  choose({3});
  device.holdReplies = true;
  heos.requestPlay();
  ASSERT_TRUE(settle([&] { return !sent("browse/play_input").empty(); }));
  ASSERT_TRUE(heos.isApplying());

  heos.requestPlay();
  heos.requestPlay();
  heos.requestPlay();
  device.holdReplies = false;
  device.flush();

  ASSERT_TRUE(settle([&] { return heos.lines.size() == 2 && !heos.isApplying(); }));
  QTest::qWait(100);
  EXPECT_EQ(sent("browse/play_input").size(), 2u);
  EXPECT_EQ(heos.lines.size(), 2u);
}

TEST_F(HEOSPlayTest, AFailedPlayIsReportedAndKeepsTheFormerChoice) {
  mirror();
  choose({3});
  const auto before = heos.configuration();
  device.faults["browse/play_input"].error = "eid=2&text=ID Not Valid";

  heos.requestPlay();
  ASSERT_TRUE(settle([&] { return !heos.lines.empty(); }));

  EXPECT_EQ(heos.lines, std::vector<std::string>{"starting HEOS failed: ID Not Valid (HEOS error 2)"});
  EXPECT_EQ(heos.lastError(), "ID Not Valid (HEOS error 2)");
  EXPECT_FALSE(heos.isApplying());
  EXPECT_EQ(heos.configuration(), before);
  EXPECT_TRUE(sent("player/set_volume").empty());
}

TEST_F(HEOSPlayTest, RemovingTheLastZoneWhileThePartyPlaysThereStopsItWithoutAReplay) {
  device.players[0].state = "play";
  device.players[0].mid = kLineIn;
  mirror();
  choose({3});
  ASSERT_TRUE(heos.isPlayingParty());

  heos.setZone(3, false);

  ASSERT_TRUE(settle([&] { return !heos.lines.empty(); }));
  QTest::qWait(100);
  EXPECT_EQ(device.lines(), std::vector<std::string>{"heos://player/set_play_state?pid=3&state=stop"});
  EXPECT_EQ(heos.lines, std::vector<std::string>{"stopped Kitchen"});
  EXPECT_EQ(heos.playStates().at(3), "stop");
  EXPECT_EQ(heos.configuration().zones, std::vector<std::int64_t>{});
}

TEST_F(HEOSPlayTest, AddingAZoneWhileThePartyPlaysRegroupsAndKeepsOnlyListedPlayers) {
  device.players[0].state = "play";
  device.players[0].mid = kLineIn;
  mirror();
  choose({3});

  heos.setZone(5, true);
  heos.setZone(99, true);

  EXPECT_EQ(heos.configuration().zones, (std::vector<std::int64_t>{5, 3})) << "in the order of the players";
  ASSERT_TRUE(settle([&] { return heos.lines.size() == 2 && !heos.isApplying(); }));
  EXPECT_EQ(sent("group/set_group"), std::vector<std::string>{"heos://group/set_group?pid=5,3"})
      << "two requests, two plays: the second finds the zones grouped";
}

TEST_F(HEOSPlayTest, ChoosingAnInputThatIsNotListedChangesNothing) {
  mirror();
  heos.setInputs({{3, kLineIn, "Kitchen - Line In"}});
  const auto before = heos.configuration();
  const int changes = heos.changes;

  heos.selectInput("");
  heos.selectInput("3|inputs/optical_in_1");
  EXPECT_EQ(heos.configuration(), before);
  EXPECT_EQ(heos.changes, changes);

  heos.selectInput("3|" + kLineIn);
  EXPECT_EQ(heos.configuration().inputName, "Kitchen - Line In");
  EXPECT_TRUE(heos.lines.empty());
}

TEST_F(HEOSPlayTest, ThePartysStartStartsHEOSOnlyWhereItDoesNotPlayThePartyYet) {
  device.players[0].state = "play";
  device.players[0].mid = kLineIn;
  mirror();
  choose({3});

  heos.partyDidStart();
  QTest::qWait(100);
  EXPECT_TRUE(heos.lines.empty()) << "it plays the party already";

  choose({5});
  heos.partyDidStart();
  ASSERT_TRUE(settle([&] { return heos.lines.size() == 2 && !heos.isApplying(); }));
  EXPECT_EQ(heos.lines, (std::vector<std::string>{"the party started; starting HEOS", "playing Line In on Den at 40"}));
}

TEST_F(HEOSPlayTest, APresetPlaysWhereThePartyPlaysAndOnlySetsTheVolumesWhereItDoesNot) {
  mirror();
  const Preset dinner{QUuid::createUuid(), "Dinner", 3, kLineIn, "Line In", {{3, "Kitchen", 30}, {5, "Den", {}}}, 40};
  EXPECT_EQ(heos.summary(dinner), "Plays Line In in Kitchen and Den.\nKitchen 30 · All zones 40");

  heos.applyPreset(dinner);  // connected, HEOS not following the party
  ASSERT_TRUE(settle([&] { return !sent("player/set_volume").empty(); }));
  QTest::qWait(50);
  EXPECT_EQ(device.lines(), std::vector<std::string>{"heos://player/set_volume?pid=3&level=30"});
  EXPECT_EQ(heos.zoneVolumes().at(3), 30);
  device.received.clear();

  choose({7});
  heos.lines.clear();
  heos.applyPreset(dinner);
  ASSERT_TRUE(settle([&] { return heos.lines.size() == 2 && !heos.isApplying(); }));
  EXPECT_EQ(heos.lines.back(), "playing Line In on Den, Kitchen at 40");
  EXPECT_EQ(sent("group/set_group"), std::vector<std::string>{"heos://group/set_group?pid=5,3"});
  EXPECT_EQ(sent("player/set_volume"), std::vector<std::string>{"heos://player/set_volume?pid=3&level=30"});
}

TEST_F(HEOSPlayTest, APresetsVolumesThatFailAreReportedAndKeptForTheNextPlay) {
  mirror();
  device.faults["player/set_volume"].error = "eid=9&text=Busy";
  const Preset dinner{QUuid::createUuid(), "Dinner", 3, kLineIn, "Line In", {{3, "Kitchen", 30}}, 40};

  heos.applyPreset(dinner);
  ASSERT_TRUE(settle([&] { return heos.lastError().has_value(); }));
  EXPECT_EQ(heos.lines.back(), "setting the preset's volumes failed: Busy (HEOS error 9)");

  device.faults.clear();
  choose({3});
  device.received.clear();
  play();
  EXPECT_EQ(sent("player/set_volume"), (std::vector<std::string>{"heos://player/set_volume?pid=3&level=40",
                                                                  "heos://player/set_volume?pid=3&level=30"}))
      << "the master volume of the lone zone, then the preset's volume of it";
}

}  // namespace
}  // namespace kovali
