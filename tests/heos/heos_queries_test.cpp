// Queries, inputs, change events and volumes against a fake HEOS device on 127.0.0.2.

#include <QTest>
#include <gtest/gtest.h>

#include "heos/connected_controller.h"
#include "support/task_result.h"

namespace kovali {
namespace {

using Player = HEOSController::Player;
using Group = HEOSController::Group;
using Input = HEOSController::Input;

const std::string kLineIn = "inputs/line_in_1";

class HEOSQueriesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(device.listen());
    ASSERT_TRUE(heos.connectTo(device));
  }

  /// Chooses line in on `zones` and shows it playing there, led by the first zone.
  void partyPlaysOn(std::vector<std::int64_t> zones) {
    auto c = heos.configuration();
    c.sourceID = zones.front();
    c.inputMid = kLineIn;
    c.zones = zones;
    heos.setConfiguration(c);
    heos.setPlayStates({{zones.front(), "play"}});
    heos.setNowPlaying({{zones.front(), kLineIn}});
    ASSERT_TRUE(heos.isPlayingParty());
  }

  static bool settle(const std::function<bool()>& done) { return QTest::qWaitFor(done, 10'000); }

  InMemoryPreferences preferences;
  ManualScheduler scheduler;
  FakeHEOSDevice device{QHostAddress("127.0.0.2")};
  ConnectedController heos{preferences, scheduler};
};

TEST_F(HEOSQueriesTest, ReadsPlayersSortedByNameAndGroupsInReplyOrder) {
  device.payloads["player/get_players"] =
      R"([{"pid":1,"name":"b"},{"pid":"12","name":"A","serial":"X","gid":"-5","ip":"10.0.0.2","model":"HEOS 7"},)"
      R"({"pid":true,"name":"x"},{"pid":3},{"pid":4,"name":"c","serial":""},"junk"])";
  device.payloads["group/get_groups"] =
      R"([{"gid":12,"name":"G","players":[{"pid":12},{"pid":"1"},"junk"]},{"gid":"x"},{"gid":4,"players":{}}])";

  ASSERT_TRUE(waitForResult(heos.refreshPlayersAndGroups()));

  EXPECT_EQ(heos.players(), (HEOSController::Players{{12, "A", "HEOS 7", -5, "10.0.0.2", true},
                                                     {1, "b", "", std::nullopt, std::nullopt, false},
                                                     {4, "c", "", std::nullopt, std::nullopt, false}}));
  EXPECT_EQ(heos.groups(), (HEOSController::Groups{{12, "G", {12, 1}}, {4, "", {}}}));
}

TEST_F(HEOSQueriesTest, LabelsInputsByTheDevicesOwnPrefixOrTheZonesName) {
  device.players = {{.pid = 1, .name = "Den"}, {.pid = 2, .name = "Kitchen"}, {.pid = 3, .name = "Hall", .serial = ""}};
  device.sources[1027] = {};
  device.sources[1] = {{"Living - Optical", "inputs/optical_in_1"}, {"Line In", kLineIn}, {"Stations", "folder/1"}};
  device.sources[2] = {{"Den - Aux", "inputs/aux_in_1"}};
  ASSERT_TRUE(waitForResult(heos.refreshPlayersAndGroups()));

  ASSERT_TRUE(waitForResult(heos.loadInputs()));

  EXPECT_EQ(heos.inputs(), (HEOSController::Inputs{{1, "inputs/optical_in_1", "Living - Optical"},
                                                   {1, kLineIn, "Living - Line In"},
                                                   {2, "inputs/aux_in_1", "Kitchen - Aux"}}));
  EXPECT_TRUE(heos.lines.empty());
}

TEST_F(HEOSQueriesTest, FallsBackToEveryZoneAndListsAKindOfInputOnce) {
  device.players = {{.pid = 1, .name = "Den", .serial = ""}, {.pid = 2, .name = "Kitchen", .serial = ""},
                    {.pid = 3, .name = "Hall", .model = "HEOS 7", .serial = ""}};
  device.sources[2] = {{"Aux", "inputs/aux_in_1"}};
  device.sources[3] = {{"Aux", "inputs/aux_in_1"}};
  device.sources[1] = {{"Aux", "inputs/aux_in_1"}};
  ASSERT_TRUE(waitForResult(heos.refreshPlayersAndGroups()));

  ASSERT_TRUE(waitForResult(heos.loadInputs()));

  EXPECT_EQ(heos.inputs(), (HEOSController::Inputs{{1, "inputs/aux_in_1", "Den - Aux"},
                                                   {3, "inputs/aux_in_1", "Hall - Aux"}}))
      << "Den and Kitchen are the same model";
  EXPECT_TRUE(heos.lines.empty());

  device.sources.erase(3);
  ASSERT_TRUE(waitForResult(heos.loadInputs()));
  EXPECT_EQ(heos.lines, std::vector<std::string>{"could not list the inputs of Hall"});
}

TEST_F(HEOSQueriesTest, APlayStateEventSetsTheStateWithOneChange) {
  device.pushEvent("event/player_state_changed", "pid=5&state=pause");
  ASSERT_TRUE(settle([&] { return heos.playStates().count(5) == 1; }));
  EXPECT_EQ(heos.playStates().at(5), "pause");
  EXPECT_EQ(heos.changes, 1);

  heos.handleEvent({"event/player_state_changed", true, "pid=5", std::nullopt});
  EXPECT_TRUE(heos.playStates().empty());
  heos.handleEvent({"event/repeat_mode_changed", true, "pid=5&repeat=on_all", std::nullopt});
  EXPECT_EQ(heos.changes, 2);
}

TEST_F(HEOSQueriesTest, TheSinglePartyZonesVolumeEventMovesTheMasterVolumeEvenRightAfterAnEdit) {
  heos.setPlayers({{3, "Den", "", std::nullopt, std::nullopt, true}, {4, "Hall", "", std::nullopt, std::nullopt, true}});
  partyPlaysOn({3});
  heos.setZoneVolume(3, 50);
  scheduler.advance(0.5);

  heos.handleEvent({"event/player_volume_changed", true, "pid=3&level=20&mute=off", std::nullopt});
  EXPECT_EQ(heos.zoneVolumes().at(3), 50) << "the echo of the host's own change is ignored";
  EXPECT_EQ(heos.volume(), 20);

  heos.handleEvent({"event/player_volume_changed", true, "pid=4&level=35", std::nullopt});
  EXPECT_EQ(heos.zoneVolumes().at(4), 35);
  EXPECT_EQ(heos.volume(), 20) << "another zone is not the party's";

  scheduler.stepWallClock(-3600);
  scheduler.advance(0.5);
  heos.handleEvent({"event/player_volume_changed", true, "pid=3&level=30&mute=off", std::nullopt});
  EXPECT_EQ(heos.zoneVolumes().at(3), 30) << "a second after the edit, though the wall clock was set back meanwhile";
}

TEST_F(HEOSQueriesTest, TenVolumeChangesSendOneGroupVolumeAPauseAfterTheLast) {
  device.players = {{.pid = 3, .name = "Den", .gid = 5}, {.pid = 5, .name = "Kitchen", .gid = 5}};
  device.groups = {{.gid = 5, .name = "Kitchen + Den", .players = {5, 3}}};
  ASSERT_TRUE(waitForResult(heos.refreshPlayersAndGroups()));
  partyPlaysOn({5, 3});

  for (int level = 1; level <= 10; ++level) {
    heos.setVolume(level * 5);
    scheduler.advance(0.01);
  }
  scheduler.advance(0.13);
  QTest::qWait(50);
  EXPECT_TRUE(device.commandsNamed("group/set_volume").empty());
  scheduler.advance(0.01);
  ASSERT_TRUE(settle([&] { return !device.commandsNamed("group/set_volume").empty(); }));
  QTest::qWait(50);
  const auto sent = device.commandsNamed("group/set_volume");
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].line, "heos://group/set_volume?gid=5&level=50");
  EXPECT_EQ(heos.volume(), 50);
}

TEST_F(HEOSQueriesTest, NothingIsSentWhileThePartyDoesNotPlay) {
  heos.setPlayers({{3, "Den", "", std::nullopt, std::nullopt, true}});
  auto c = heos.configuration();
  c.zones = std::vector<std::int64_t>{3};
  heos.setConfiguration(c);

  heos.setVolume(30);
  scheduler.advance(1);
  QTest::qWait(50);

  EXPECT_EQ(heos.configuration().volume, 30);
  EXPECT_TRUE(device.commandsNamed("player/set_volume").empty());
  EXPECT_TRUE(device.commandsNamed("group/set_volume").empty());
}

TEST_F(HEOSQueriesTest, ZoneVolumesGoOutInAscendingPlayerOrder) {
  device.players = {{.pid = 4, .name = "A"}, {.pid = 12, .name = "B"}, {.pid = 30, .name = "C"}};
  ASSERT_TRUE(waitForResult(heos.sendZoneVolumes({{30, 10}, {4, 20}, {12, 30}})));
  EXPECT_EQ(device.lines(), (std::vector<std::string>{"heos://system/register_for_change_events?enable=on",
                                                      "heos://player/set_volume?pid=4&level=20",
                                                      "heos://player/set_volume?pid=12&level=30",
                                                      "heos://player/set_volume?pid=30&level=10"}));
  EXPECT_EQ(heos.zoneVolumes(), (HEOSController::ZoneVolumes{{4, 20}, {12, 30}, {30, 10}}));
}

TEST_F(HEOSQueriesTest, ReadsAPlayersStateWhatItPlaysAndItsVolume) {
  device.players = {{.pid = 7, .name = "Den", .state = "play", .volume = 35, .mid = kLineIn}};
  ASSERT_TRUE(waitForResult(heos.refreshPlayer(7)));
  EXPECT_EQ(heos.playStates().at(7), "play");
  EXPECT_EQ(heos.nowPlaying().at(7), kLineIn);
  EXPECT_EQ(heos.zoneVolumes().at(7), 35);

  device.faults["player/get_volume"].error = "eid=2&text=ID Not Valid";
  device.players[0].mid = "";
  ASSERT_TRUE(waitForResult(heos.refreshPlayer(7)));
  EXPECT_EQ(heos.nowPlaying().count(7), 0u);
  EXPECT_EQ(heos.zoneVolumes().at(7), 35) << "a failed read keeps the value";
}

}  // namespace
}  // namespace kovali
