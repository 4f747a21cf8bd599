// The controller's derived values, from state set directly: zones, leader, playing, volume, texts.

#include <QSignalSpy>
#include <gtest/gtest.h>

#include "heos/heos_controller.h"
#include "platform/runtime/in_memory_preferences.h"
#include "support/manual_scheduler.h"

namespace kovali {
namespace {

using Player = HEOSController::Player;
using Group = HEOSController::Group;
using Input = HEOSController::Input;
using Status = HEOSController::Status;

/// A controller whose device state the test sets as a connection would.
class StateController : public HEOSController {
 public:
  StateController(InMemoryPreferences& preferences, ManualScheduler& scheduler)
      : HEOSController(preferences, "heos.configuration", "heos.presets", scheduler) {}

  using HEOSController::report;
  using HEOSController::setConfiguration;
  using HEOSController::setGroups;
  using HEOSController::setInputs;
  using HEOSController::setLastError;
  using HEOSController::setNowPlaying;
  using HEOSController::setPlayers;
  using HEOSController::setPlayStates;
  using HEOSController::setReportedVolume;
  using HEOSController::setStatus;

  void configure(std::optional<std::vector<std::int64_t>> zones, std::optional<std::int64_t> volume = std::nullopt) {
    Configuration c = configuration();
    c.sourceID = 7;
    c.inputMid = "inputs/line_in_1";
    c.zones = std::move(zones);
    c.volume = volume;
    setConfiguration(c);
  }
};

Player player(std::int64_t id, const char* name, std::optional<std::int64_t> group = std::nullopt) {
  return Player{id, name, "HEOS 1", group, std::nullopt, true};
}

class HEOSSelectionTest : public ::testing::Test {
 protected:
  InMemoryPreferences preferences;
  ManualScheduler scheduler;
  StateController heos{preferences, scheduler};
  const std::string mid = "inputs/line_in_1";
};

TEST_F(HEOSSelectionTest, WithoutAChoiceTheLonePlayerPlayingTheInputIsTheParty) {
  heos.setInputs({{7, "inputs/optical_in_1", "Den - Optical"}, {7, mid, "Den - Line In"}});
  heos.setPlayers({player(3, "Den"), player(7, "Kitchen")});
  heos.setNowPlaying({{3, "inputs/optical_in_1"}, {7, mid}});
  EXPECT_EQ(heos.currentInput(), (Input{7, "inputs/optical_in_1", "Den - Optical"})) << "by the order of the inputs";

  heos.configure(std::nullopt);
  EXPECT_EQ(heos.selectedZones(), std::vector<std::int64_t>{7});
  EXPECT_EQ(heos.leaderID(), 7);

  heos.setGroups({{7, "Kitchen + Den", {7, 3}}});
  EXPECT_EQ(heos.selectedZones(), (std::vector<std::int64_t>{3, 7})) << "the group playing it, in player order";
}

TEST_F(HEOSSelectionTest, ChosenZonesFollowThePlayersOrderAndLeaveOutUnlistedOnes) {
  heos.configure(std::vector<std::int64_t>{3, 9, 5, 12});
  EXPECT_EQ(heos.selectedZones(), (std::vector<std::int64_t>{3, 9, 5, 12})) << "as stored while no player is listed";
  heos.setPlayers({player(5, "A"), player(3, "B"), player(9, "C")});
  EXPECT_EQ(heos.selectedZones(), (std::vector<std::int64_t>{5, 3, 9}));
}

TEST_F(HEOSSelectionTest, TheGroupHoldingMostChosenZonesLeadsAndAnEarlierOneWinsATie) {
  heos.setPlayers({player(2, "A", 8), player(4, "B", 4), player(6, "C", 8), player(8, "D", 8)});
  heos.configure(std::vector<std::int64_t>{2, 4, 6, 8});
  heos.setGroups({{4, "B + C", {4, 6}}, {8, "D + C + A", {8, 6, 2}}});
  EXPECT_EQ(heos.leaderID(), 8);

  heos.setGroups({{4, "B + C", {4, 6}}, {8, "D + A", {8, 2}}});
  EXPECT_EQ(heos.leaderID(), 4);
  heos.setGroups({});
  EXPECT_EQ(heos.leaderID(), 2) << "without groups the first zone leads";
}

TEST_F(HEOSSelectionTest, TheZonesPlayThePartyOnlyWhenGroupedExactlyAndPlayingTheInput) {
  heos.setPlayers({player(3, "Den", 5), player(5, "Kitchen", 5), player(6, "Hall")});
  heos.configure(std::vector<std::int64_t>{3, 5});
  heos.setGroups({{5, "Kitchen + Den", {5, 3}}});
  heos.setPlayStates({{5, "play"}});
  heos.setNowPlaying({{5, mid}});
  EXPECT_EQ(heos.leaderID(), 5);
  EXPECT_TRUE(heos.isPlayingParty());
  EXPECT_EQ(heos.stateText(), "Playing in Den and Kitchen.");

  struct Case {
    const char* name;
    HEOSController::PlayStates states;
    HEOSController::NowPlaying nowPlaying;
    HEOSController::Groups groups;
  } notPlaying[] = {
      {"paused", {{5, "pause"}}, {{5, mid}}, {{5, "", {5, 3}}}},
      {"other media", {{5, "play"}}, {{5, "inputs/aux"}}, {{5, "", {5, 3}}}},
      {"group holds more", {{5, "play"}}, {{5, mid}}, {{5, "", {5, 3, 6}}}},
      {"no group", {{5, "play"}}, {{5, mid}}, {}},
  };
  for (const auto& c : notPlaying) {
    heos.setPlayStates(c.states);
    heos.setNowPlaying(c.nowPlaying);
    heos.setGroups(c.groups);
    EXPECT_FALSE(heos.isPlayingParty()) << c.name;
  }
  heos.setPlayStates({{5, "play"}});
  heos.setNowPlaying({{5, "inputs/aux"}});
  heos.setGroups({{5, "", {5, 3}}});
  EXPECT_EQ(heos.stateText(), "These zones are playing something else.");
}

TEST_F(HEOSSelectionTest, ASingleZoneInsideSomeGroupDoesNotPlayTheParty) {
  heos.setPlayers({player(3, "Den", 9), player(9, "Kitchen", 9)});
  heos.configure(std::vector<std::int64_t>{3});
  heos.setPlayStates({{3, "play"}});
  heos.setNowPlaying({{3, mid}});
  heos.setGroups({{9, "Kitchen + Den", {9, 3}}});
  EXPECT_FALSE(heos.isPlayingParty());
  heos.setGroups({});
  EXPECT_TRUE(heos.isPlayingParty());
}

TEST_F(HEOSSelectionTest, TheVolumeIsTheReportedOneOnlyWhileThePartyPlays) {
  EXPECT_EQ(heos.volume(), 40);
  heos.setReportedVolume(60);
  EXPECT_EQ(heos.volume(), 60) << "nothing chosen: what the device reports";

  heos.setPlayers({player(3, "Den")});
  heos.configure(std::vector<std::int64_t>{3}, 25);
  EXPECT_EQ(heos.volume(), 25);
  heos.setPlayStates({{3, "play"}});
  heos.setNowPlaying({{3, mid}});
  EXPECT_EQ(heos.volume(), 60);
}

TEST_F(HEOSSelectionTest, TheTextsFollowStatusAndErrors) {
  heos.setPlayers({player(3, "Den")});
  heos.setStatus(Status::connected("10.0.0.9"));
  EXPECT_EQ(heos.detailText(), "1 zones · 10.0.0.9");
  heos.setStatus(Status::notFound());
  EXPECT_EQ(heos.detailText(), "Check that this computer is on the same network as the HEOS devices.");
  heos.setStatus(Status::searching());
  EXPECT_EQ(heos.detailText(), std::nullopt);

  heos.configure(std::vector<std::int64_t>{3});
  heos.setPlayStates({{3, "play"}});
  heos.setNowPlaying({{3, mid}});
  heos.setLastError("Timed out");
  EXPECT_EQ(heos.stateText(), "Timed out") << "an error shows even while the party plays";
}

TEST_F(HEOSSelectionTest, AReportedFailureIsTheErrorAndALogLine) {
  std::vector<std::string> lines;
  QObject::connect(&heos, &HEOSController::logged, [&](const std::string& line) { lines.push_back(line); });
  heos.report("Timed out", "stopping");
  EXPECT_EQ(heos.lastError(), "Timed out");
  EXPECT_EQ(lines, std::vector<std::string>{"stopping failed: Timed out"});
}

TEST_F(HEOSSelectionTest, TheSetupIsWrittenOnlyWhenItChanges) {
  QSignalSpy changed(&heos, &HEOSController::configurationChanged);
  heos.setConfiguration(heos.configuration());
  EXPECT_EQ(changed.count(), 0);
  EXPECT_FALSE(preferences.dataValue("heos.configuration"));

  auto louder = heos.configuration();
  louder.volume = 30;
  heos.setConfiguration(louder);
  EXPECT_EQ(changed.count(), 1);
  EXPECT_EQ(preferences.dataValue("heos.configuration"), QByteArray(R"({"startWithParty":false,"volume":30})"));
}

}  // namespace
}  // namespace kovali
