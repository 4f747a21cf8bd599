#include "app/settings/heos/heos_section.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QSignalSpy>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>

#include "app/look/controls/spinner.h"
#include "app/look/controls/switch_toggle.h"
#include "app/settings/heos/heos_rows.h"
#include "app/settings/sound/volume_control.h"
#include "app/settings/widgets/settings_rows.h"
#include "heos/heos_controller.h"
#include "platform/runtime/in_memory_preferences.h"
#include "support/manual_scheduler.h"
#include "support/recording_heos.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

using Status = HEOSController::Status;
using Kind = Status::Kind;
using Trailing = HEOSSectionModel::Trailing;


const HEOSController::Input kLine{7, "line1", "Line In"};
const HEOSController::Input kOptical{7, "optical1", "Optical"};

class HEOSSectionTest : public ::testing::Test {
 protected:
  HEOSSectionTest() { heos.followParty(true); }

  /// Connected, with two zones (only the first with a known level) and two inputs.
  void connect() {
    heos.setStatus(Status::connected("127.0.0.2"));
    heos.setPlayers({{1, "Kitchen"}, {2, "Patio"}});
    heos.setInputs({kLine, kOptical});
    heos.setZoneVolumes({{1, 30}});
  }

  HEOSSection& show() {
    section = std::make_unique<HEOSSection>(heos, scheduler);
    renderWidget(*section, QSize(420, 560));
    return *section;
  }

  ManualScheduler scheduler;
  InMemoryPreferences preferences;
  RecordingHEOS heos{preferences, scheduler};
  std::unique_ptr<HEOSSection> section;
};

TEST_F(HEOSSectionTest, EachStatusHasItsTextItsControlAndItsRows) {
  struct Case {
    Status status;
    const char* text;
    Trailing trailing;
    bool connected;
    bool address;
  } cases[] = {
      {Status::connected("127.0.0.2"), "Connected", Trailing::none, true, false},
      {Status::failed("The HEOS device refused the connection."), "HEOS unavailable", Trailing::searchAgain, false,
       true},
      {Status::off(), "Looking for HEOS\u2026", Trailing::searchAgain, false, false},
      {Status::searching(), "Looking for HEOS\u2026", Trailing::spinner, false, false},
      {Status::connecting(), "Connecting to HEOS\u2026", Trailing::spinner, false, false},
      {Status::notFound(), "No HEOS system found", Trailing::searchAgain, false, true},
  };
  HEOSSection& view = show();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    heos.setStatus(c.status);
    const HEOSSectionModel& model = view.model();
    EXPECT_EQ(model.statusText, c.text);
    EXPECT_EQ(model.trailing, c.trailing);
    EXPECT_EQ(model.connected, c.connected);
    EXPECT_EQ(model.showsAddress, c.address);
    EXPECT_EQ(view.statusText().text().toStdString(), c.text);
    EXPECT_EQ(view.searchAgain().isVisible(), c.trailing == Trailing::searchAgain);
    EXPECT_EQ(view.spinner().isVisible(), c.trailing == Trailing::spinner);
    for (QWidget* row : {&view.inputRow(), &view.zonesBlock(), &view.allZonesRow(), &view.presetsBlock()}) {
      EXPECT_EQ(row->isVisible(), c.connected);
    }
    EXPECT_EQ(view.detailText().isVisible(), heos.detailText().has_value());
  }
  heos.setStatus(Status::failed("The HEOS device refused the connection."));
  EXPECT_EQ(view.detailText().text(), "The HEOS device refused the connection.") << "the failure's sentence";

  auto configuration = heos.configuration();
  configuration.host = "127.0.0.2";
  heos.setConfiguration(configuration);
  heos.setStatus(Status::connected("127.0.0.2"));
  EXPECT_TRUE(view.model().showsAddress) << "a configured host shows its row in every status";
}

TEST_F(HEOSSectionTest, WithUseHEOSOffOnlyTheSwitchShows) {
  connect();
  heos.setLastError(std::string("Not connected to HEOS."));
  heos.followParty(false);
  HEOSSection& view = show();
  EXPECT_EQ(view.model(), HEOSSectionModel{});
  EXPECT_TRUE(view.useHEOS().isVisible());
  EXPECT_FALSE(view.useHEOS().toggle().isChecked());
  for (QWidget* row : {&view.statusRow(), &view.inputRow(), &view.zonesBlock(), &view.allZonesRow(),
                       &view.presetsBlock(), static_cast<QWidget*>(&view.error())}) {
    EXPECT_FALSE(row->isVisible());
  }
  EXPECT_TRUE(heos.calls.empty()) << "no search while HEOS does not follow the party";

  view.useHEOS().toggle().click();
  EXPECT_EQ(heos.calls, std::vector<std::string>{"setStartWithParty true"});
  EXPECT_FALSE(view.useHEOS().toggle().isChecked()) << "the switch shows the controller's value";
}

TEST_F(HEOSSectionTest, ComingOnScreenSearchesOnlyWhileOffAndFollowingTheParty) {
  show();
  EXPECT_EQ(heos.calls, std::vector<std::string>{"search"});
  section->hide();
  heos.calls.clear();
  heos.setStatus(Status::searching());
  section->show();
  EXPECT_TRUE(heos.calls.empty());
  heos.setStatus(Status::notFound());
  section->searchAgain().click();
  EXPECT_EQ(heos.calls, std::vector<std::string>{"search"});
}

TEST_F(HEOSSectionTest, ChooseIsOfferedOnlyWithoutACurrentInput) {
  connect();
  HEOSSection& view = show();
  QComboBox& picker = view.inputPicker();
  ASSERT_EQ(picker.count(), 3);
  EXPECT_EQ(picker.itemText(0), "Choose");
  EXPECT_EQ(picker.currentIndex(), 0);
  emit picker.activated(2);
  EXPECT_EQ(heos.calls.back(), "selectInput 7|optical1");
  EXPECT_EQ(picker.currentIndex(), 0) << "the controller did not take it";

  heos.choose(kLine, {1});
  ASSERT_EQ(picker.count(), 2);
  EXPECT_EQ(picker.itemText(0), "Line In");
  EXPECT_EQ(picker.currentText(), "Line In");

  heos.choose({9, "aux9", "Aux"}, {1});
  EXPECT_EQ(picker.count(), 2);
  EXPECT_EQ(picker.currentIndex(), -1) << "a current input that is not listed matches no row";

  QSignalSpy refilled(picker.model(), &QAbstractItemModel::rowsRemoved);
  heos.setZoneVolumes({{1, 55}});
  EXPECT_EQ(refilled.count(), 0) << "a volume change leaves an open pop-up as it is";
}

TEST_F(HEOSSectionTest, ZonesShowTheirChoiceAndOnlyKnownLevels) {
  connect();
  heos.choose(kLine, {2});
  HEOSSection& view = show();
  const auto& rows = view.zoneRows();
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_FALSE(rows[0]->included().isChecked());
  EXPECT_TRUE(rows[1]->included().isChecked());
  EXPECT_TRUE(rows[0]->volume().isVisible());
  EXPECT_EQ(rows[0]->volume().levelText(), "30%");
  EXPECT_FALSE(rows[1]->volume().isVisible()) << "no level known for the patio";

  rows[1]->included().click();
  rows[0]->volume().slider().setValue(395);
  rows[0]->volume().slider().setValue(404);
  view.allZones().slider().setValue(1000);
  EXPECT_EQ(heos.calls, (std::vector<std::string>{"setZone 2 out", "setZoneVolume 1 40", "setZoneVolume 1 40",
                                                   "setVolume 100"}));
  EXPECT_TRUE(rows[1]->included().isChecked()) << "the box shows the controller's choice";
  EXPECT_EQ(rows[0]->volume().levelText(), "30%") << "the text shows the level the controller holds";
}

TEST_F(HEOSSectionTest, PresetsAskBeforeApplyingAndDeleteAtOnce) {
  connect();
  HEOSController::Preset dinner{QUuid::createUuid(), "Dinner", 7, "line1", "Line In", {{1, "Kitchen", 25}, {2, "Patio", {}}}, 35};
  heos.setPresets({dinner});
  HEOSSection& view = show();
  ASSERT_EQ(view.presetRows().size(), 1u);

  view.presetRows()[0]->click();
  QMessageBox* alert = view.applyAlert();
  ASSERT_NE(alert, nullptr);
  EXPECT_EQ(alert->text(), "Apply \u201CDinner\u201D?");
  EXPECT_EQ(alert->informativeText().toStdString(), heos.summary(dinner));
  EXPECT_EQ(alert->informativeText(), "Plays Line In in Kitchen and Patio.\nKitchen 25 · All zones 35");
  alert->button(QMessageBox::NoButton);
  for (QAbstractButton* button : alert->buttons()) {
    if (button->text() == "Cancel") button->click();
  }
  EXPECT_TRUE(heos.calls.empty() || heos.calls.back() != "applyPreset Dinner");
  view.presetRows()[0]->click();
  ASSERT_NE(view.applyAlert(), nullptr);
  for (QAbstractButton* button : view.applyAlert()->buttons()) {
    if (button->text() == "Apply") button->click();
  }
  EXPECT_EQ(heos.calls.back(), "applyPreset Dinner");

  PresetRow& row = *view.presetRows()[0];
  EXPECT_EQ(row.deleteAction().text(), "Delete \u201CDinner\u201D");
  row.deleteAction().trigger();
  EXPECT_EQ(heos.calls.back(), "deletePreset " + dinner.id.toString(QUuid::WithoutBraces).toStdString());
}

TEST_F(HEOSSectionTest, SavingNeedsAnInputZonesAndANameThatIsNotBlank) {
  connect();
  HEOSSection& view = show();
  EXPECT_FALSE(view.savePreset().isEnabled()) << "no input yet";
  heos.choose(kLine, {});
  EXPECT_FALSE(view.savePreset().isEnabled()) << "no zone";
  heos.choose(kLine, {1});
  ASSERT_TRUE(view.savePreset().isEnabled());

  view.savePreset().click();
  SavePresetDialog* dialog = view.saveDialog();
  ASSERT_NE(dialog, nullptr);
  dialog->name().setText(QStringLiteral("   "));
  EXPECT_FALSE(dialog->save().isEnabled());
  dialog->name().setText(QStringLiteral("  Late night "));
  ASSERT_TRUE(dialog->save().isEnabled());
  dialog->save().click();
  EXPECT_EQ(heos.calls.back(), "savePreset   Late night ") << "the name as typed";
}

TEST_F(HEOSSectionTest, TheAddressCommitsOnlyOnReturn) {
  auto configuration = heos.configuration();
  configuration.host = "127.0.0.2";
  heos.setConfiguration(configuration);
  heos.setStatus(Status::connected("127.0.0.2"));
  HEOSSection& view = show();
  EXPECT_TRUE(view.addressRow().isVisible());
  EXPECT_EQ(view.address().text(), "127.0.0.2") << "the configured host when the section comes on screen";

  view.address().setText(QStringLiteral("127.0.0.3"));
  view.address().clearFocus();
  EXPECT_EQ(heos.configuration().host, "127.0.0.2") << "typing alone changes nothing";
  view.address().clear();
  emit view.address().returnPressed();
  EXPECT_EQ(heos.configuration().host, std::nullopt) << "an empty address goes back to discovery";
  EXPECT_EQ(heos.calls.back(), "search");
  EXPECT_FALSE(view.addressRow().isVisible()) << "connected without a configured host";
}

TEST(HEOSPresetName, IsValidOnlyWithSomethingBesidesBlanks) {
  EXPECT_FALSE(presetNameIsValid(""));
  EXPECT_FALSE(presetNameIsValid(" \t\n "));
  EXPECT_TRUE(presetNameIsValid(" a "));
}

}  // namespace
}  // namespace kovali
