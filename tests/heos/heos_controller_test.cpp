#include "heos/heos_controller.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

#include "platform/runtime/in_memory_preferences.h"
#include "support/manual_scheduler.h"

namespace kovali {
namespace {

using Status = HEOSController::Status;
using Preset = HEOSController::Preset;

const QString kKey = "heos.configuration";
const QString kPresetsKey = "heos.presets";
// Loopback addresses where nothing answers, so a search never leaves this computer.
const HEOSNetwork kNowhere{1, {"127.0.0.1", 1}, 0.05};

void store(InMemoryPreferences& preferences, const QString& key, const char* json) {
  preferences.setValue(key, QByteArray(json));
}

/// Runs what the controller left for a later turn of the event loop.
void runLaterWork() { QCoreApplication::processEvents(); }

/// A controller over test preferences and a manual clock, whose log and change calls the test
/// reads; `connectTo` stands in for a connection that this host cannot make yet.
class TestController : public HEOSController {
 public:
  TestController(InMemoryPreferences& preferences, ManualScheduler& scheduler)
      : HEOSController(preferences, kKey, kPresetsKey, scheduler, kNowhere) {
    connect(this, &HEOSController::logged, [this](const std::string& line) { lines.push_back(line); });
    connect(this, &HEOSController::changed, [this] { ++changes; });
  }

  void connectTo(const std::string& host) { setStatus(Status::connected(host)); }

  std::vector<std::string> lines;
  int changes = 0;
};

class HEOSControllerTest : public ::testing::Test {
 protected:
  TestController& make() {
    controller = std::make_unique<TestController>(preferences, scheduler);
    return *controller;
  }

  InMemoryPreferences preferences;
  ManualScheduler scheduler;
  std::unique_ptr<TestController> controller;
};

TEST_F(HEOSControllerTest, LoadsTheSavedSetupAndFallsBackToTheDefaultWhenItDoesNotRead) {
  struct Case {
    const char* name;
    const char* stored;  // nullptr: nothing stored
    HEOSController::Configuration expected;
  } cases[] = {
      {"nothing stored", nullptr, {}},
      {"only the switch", R"({"startWithParty":true})", {.startWithParty = true}},
      {"everything", R"({"host":"10.0.0.9","sourceID":7,"inputMid":"line1","inputName":"Line In","zones":[3,5],"volume":30,"startWithParty":false,"later":1})",
       {"10.0.0.9", 7, "line1", "Line In", std::vector<std::int64_t>{3, 5}, 30, false}},
      {"without the switch", R"({"sourceID":7,"inputMid":"line1"})", {}},
      {"not JSON", "HEOS", {}},
  };
  for (const auto& c : cases) {
    InMemoryPreferences casePreferences;
    if (c.stored) store(casePreferences, kKey, c.stored);
    HEOSController heos(casePreferences, kKey, kPresetsKey, scheduler);
    EXPECT_EQ(heos.configuration(), c.expected) << c.name;
    EXPECT_EQ(heos.status(), Status::off()) << c.name;
  }
}

TEST_F(HEOSControllerTest, LoadsPresetsAndLeavesOutOnlyOnesThatDoNotRead) {
  store(preferences, kPresetsKey,
        R"([{"id":"0b5e8a02-9a1c-4d6b-8f4e-2a1f3c5d7e90","name":"Dinner","sourceID":7,"inputMid":"line1","inputName":"Line In","zones":[{"id":3,"name":"Kitchen","volume":30},{"id":5,"name":"Den"}],"volume":40}])");
  auto& heos = make();
  ASSERT_EQ(heos.presets().size(), 1u);
  EXPECT_EQ(heos.presets()[0].idText(), "0B5E8A02-9A1C-4D6B-8F4E-2A1F3C5D7E90") << "written upper case, read in any";
  EXPECT_EQ(heos.presets()[0].zones[1].volume, std::nullopt);

  const char* unreadable[] = {
      R"({"id":"not-a-uuid","name":"A","sourceID":1,"inputMid":"m","inputName":"M","zones":[],"volume":1})",
      R"({"id":"{0b5e8a02-9a1c-4d6b-8f4e-2a1f3c5d7e90}","name":"A","sourceID":1,"inputMid":"m","inputName":"M","zones":[],"volume":1})",
      R"({"id":"0b5e8a02-9a1c-4d6b-8f4e-2a1f3c5d7e90","name":"A","sourceID":1,"inputMid":"m","zones":[],"volume":1})",
      R"("Dinner")",
  };
  const std::string readable =
      R"({"id":"1B5E8A02-9A1C-4D6B-8F4E-2A1F3C5D7E90","name":"Party","sourceID":1,"inputMid":"m","inputName":"M","zones":[],"volume":1})";
  for (const char* json : unreadable) {
    InMemoryPreferences casePreferences;
    store(casePreferences, kPresetsKey, ("[" + std::string(json) + "," + readable + "]").c_str());
    HEOSController loaded(casePreferences, kKey, kPresetsKey, scheduler);
    ASSERT_EQ(loaded.presets().size(), 1u) << json;
    EXPECT_EQ(loaded.presets()[0].name, "Party") << json;
  }
  InMemoryPreferences notAList;
  store(notAList, kPresetsKey, readable.c_str());
  EXPECT_TRUE(HEOSController(notAList, kKey, kPresetsKey, scheduler).presets().empty());
}

TEST_F(HEOSControllerTest, SearchingEndsInAFailureThatSaysWhy) {
  store(preferences, kKey, R"({"host":"127.0.0.9","startWithParty":false})");
  auto& heos = make();

  heos.search();
  heos.search();
  EXPECT_EQ(heos.status(), Status::connecting());
  ASSERT_TRUE(QTest::qWaitFor([&] { return heos.status().kind == Status::Kind::failed; }, 10'000));

  EXPECT_EQ(heos.status(), Status::failed("No HEOS device answered at 127.0.0.9."));
  EXPECT_EQ(heos.detailText(), "No HEOS device answered at 127.0.0.9.");
  ASSERT_EQ(heos.lines.size(), 1u) << "only the latest search runs";
  EXPECT_TRUE(heos.lines[0].starts_with("127.0.0.9: ")) << heos.lines[0];
}

TEST_F(HEOSControllerTest, SwitchingHEOSOnSearchesAndSwitchingItOffStopsTheSearch) {
  auto& heos = make();
  QSignalSpy configuration(&heos, &HEOSController::configurationChanged);

  heos.setStartWithParty(true);
  heos.setStartWithParty(true);
  EXPECT_EQ(heos.lines, std::vector<std::string>{"Use HEOS on"});
  EXPECT_EQ(configuration.count(), 1);
  EXPECT_EQ(HEOSController(preferences, kKey, kPresetsKey, scheduler).configuration().startWithParty, true)
      << "the switch is saved";

  heos.setStartWithParty(false);
  runLaterWork();

  EXPECT_EQ(heos.status(), Status::off()) << "the search started by switching on never ran";
  EXPECT_EQ(heos.lines, (std::vector<std::string>{"Use HEOS on", "Use HEOS off"}));
  EXPECT_EQ(heos.lastError(), std::nullopt);
}

TEST_F(HEOSControllerTest, CommandsForTheSpeakersFailWhileNotConnected) {
  store(preferences, kKey, R"({"sourceID":7,"inputMid":"line1","zones":[3],"startWithParty":true})");
  auto& heos = make();
  QSignalSpy applying(&heos, &HEOSController::isApplyingChanged);

  QCoro::waitFor(heos.stop(3));
  EXPECT_EQ(heos.lastError(), "Not connected to HEOS.");
  EXPECT_EQ(heos.stateText(), "Not connected to HEOS.");
  EXPECT_EQ(heos.lines.back(), "stopping failed: Not connected to HEOS.");

  heos.requestPlay();
  EXPECT_EQ(applying.count(), 0) << "a play is applied in a later turn";
  runLaterWork();
  EXPECT_EQ(applying.count(), 2) << "applying, then done";
  EXPECT_FALSE(heos.isApplying());
  EXPECT_EQ(heos.lines.back(), "starting HEOS failed: Not connected to HEOS.");
}

TEST_F(HEOSControllerTest, APlayWithoutInputOrZoneAsksForThem) {
  auto& heos = make();
  heos.requestPlay();
  runLaterWork();
  EXPECT_EQ(heos.lastError(), "Choose the input and at least one zone.");
  EXPECT_TRUE(heos.lines.empty());
}

TEST_F(HEOSControllerTest, TheSetupNamesTheInputTheZonesAndTheVolume) {
  auto& heos = make();
  EXPECT_EQ(heos.currentInput(), std::nullopt);
  EXPECT_TRUE(heos.selectedZones().empty());
  EXPECT_EQ(heos.leaderID(), std::nullopt);
  EXPECT_EQ(heos.volume(), 40);
  EXPECT_EQ(heos.stateText(), "Stopped.");
  EXPECT_EQ(heos.detailText(), std::nullopt);

  store(preferences, kKey, R"({"sourceID":7,"inputMid":"line1","zones":[9,3],"volume":25,"startWithParty":true})");
  auto& configured = make();
  ASSERT_TRUE(configured.currentInput());
  EXPECT_EQ(configured.currentInput()->identifier(), "7|line1");
  EXPECT_EQ(configured.currentInput()->name, "line1") << "named after its media id when the setup has no name";
  EXPECT_EQ(configured.selectedZones(), (std::vector<std::int64_t>{9, 3}));
  EXPECT_EQ(configured.leaderID(), 9);
  EXPECT_EQ(configured.volume(), 25);
  EXPECT_FALSE(configured.isPlayingParty());
}

TEST_F(HEOSControllerTest, VolumesAreClampedKeptAtOnceAndSentAfterAPause) {
  auto& heos = make();

  heos.setZoneVolume(7, 150);
  scheduler.advance(0.1);
  heos.setZoneVolume(7, 60);
  heos.setVolume(-5);
  EXPECT_EQ(heos.zoneVolumes().at(7), 60);
  EXPECT_EQ(heos.volume(), 0);
  EXPECT_TRUE(heos.lines.empty());

  scheduler.advance(0.15);

  EXPECT_EQ(heos.lines, std::vector<std::string>{"setting the volume of 7 failed: Not connected to HEOS."})
      << "one send for the burst; the master volume waits for a play";
  EXPECT_EQ(heos.changes, 3);
}

TEST_F(HEOSControllerTest, TheStartOfThePartyStartsHEOSOnlyWhenItFollowsThePartyAndIsConnected) {
  store(preferences, kKey, R"({"sourceID":7,"inputMid":"line1","zones":[3],"startWithParty":true})");
  auto& heos = make();

  heos.partyDidStart();
  runLaterWork();
  EXPECT_TRUE(heos.lines.empty()) << "not connected";

  heos.connectTo("10.0.0.9");
  EXPECT_EQ(heos.detailText(), "0 zones · 10.0.0.9");
  heos.partyDidStart();
  runLaterWork();
  EXPECT_EQ(heos.lines, (std::vector<std::string>{"the party started; starting HEOS",
                                                  "starting HEOS failed: Not connected to HEOS."}));
}

TEST_F(HEOSControllerTest, ChoosingZonesWhileNoPlayerIsListedEditsTheSavedZones) {
  store(preferences, kKey, R"({"sourceID":7,"inputMid":"line1","zones":[3],"startWithParty":false})");
  auto& heos = make();

  heos.setZone(5, true);
  heos.setZone(5, true);
  EXPECT_EQ(heos.configuration().zones, (std::vector<std::int64_t>{3, 5})) << "the saved zones are never lost";
  heos.setZone(3, false);
  EXPECT_EQ(heos.configuration().zones, std::vector<std::int64_t>{5});
  EXPECT_EQ(HEOSController(preferences, kKey, kPresetsKey, scheduler).configuration().zones, std::vector<std::int64_t>{5});
  EXPECT_EQ(heos.changes, 3);
}

TEST_F(HEOSControllerTest, SavesAPresetInPlaceOfOneWithTheSameNameInAnyCase) {
  store(preferences, kKey, R"({"sourceID":7,"inputMid":"line1","inputName":"Line In","zones":[3,5],"volume":40,"startWithParty":false})");
  auto& heos = make();
  heos.setZoneVolume(3, 30);
  heos.savePreset("dinner");
  heos.savePreset("Party");
  const QUuid dinnerID = heos.presets()[0].id;

  heos.savePreset("  Dinner  ");

  ASSERT_EQ(heos.presets().size(), 2u);
  const Preset& dinner = heos.presets()[0];
  EXPECT_EQ(dinner.id, dinnerID);
  EXPECT_EQ(dinner.name, "Dinner");
  EXPECT_EQ(dinner.inputName, "Line In");
  EXPECT_EQ(dinner.zones, (std::vector<Preset::Zone>{{3, "3", 30}, {5, "5", std::nullopt}}));
  EXPECT_EQ(dinner.volume, 40);
  EXPECT_EQ(heos.lines.back(), "saved preset Dinner: Line In on 3 30, 5 ?, all zones 40");
  EXPECT_EQ(HEOSController(preferences, kKey, kPresetsKey, scheduler).presets(), heos.presets())
      << "the presets are saved";

  heos.savePreset("   ");
  EXPECT_EQ(heos.presets().size(), 2u) << "a blank name saves nothing";
}

TEST_F(HEOSControllerTest, AppliesAPresetToTheSetupAndDeletesItById) {
  auto& heos = make();
  const Preset dinner{QUuid::createUuid(), "Dinner", 7, "line1", "Line In", {{3, "Kitchen", 30}, {5, "Den", {}}}, 40};

  EXPECT_EQ(heos.summary(dinner), "Plays Line In in Kitchen and Den.\nKitchen 30 · All zones 40");

  heos.applyPreset(dinner);
  EXPECT_EQ(heos.configuration().zones, (std::vector<std::int64_t>{3, 5}));
  EXPECT_EQ(heos.configuration().inputName, "Line In");
  EXPECT_EQ(heos.volume(), 40);
  EXPECT_EQ(heos.lines.back(), "applying preset Dinner: Line In on Kitchen 30, Den ?, all zones 40");
  EXPECT_EQ(heos.lastError(), std::nullopt) << "not connected: the preset waits in the setup";

  heos.savePreset("Dinner");
  const QUuid saved = heos.presets().at(0).id;
  heos.deletePreset(QUuid::createUuid());
  EXPECT_EQ(heos.presets().size(), 1u);
  heos.deletePreset(saved);
  EXPECT_TRUE(heos.presets().empty());
  EXPECT_EQ(heos.lines.back(), "deleted preset Dinner");
  EXPECT_TRUE(HEOSController(preferences, kKey, kPresetsKey, scheduler).presets().empty());
}

}  // namespace
}  // namespace kovali
