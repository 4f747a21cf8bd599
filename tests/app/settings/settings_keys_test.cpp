// The window's Space plays and pauses, but a focused switch or menu in Settings keeps its own Space;
// every control Tab reaches shows its focus.

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QTest>
#include <QUuid>
#include <algorithm>
#include <functional>
#include <vector>

#include "app/look/controls/switch_toggle.h"
#include "app/settings/heos/heos_rows.h"
#include "app/settings/heos/heos_section.h"
#include "app/settings/party/party_mode_settings.h"
#include "app/settings/settings_view.h"
#include "app/settings/widgets/settings_rows.h"
#include "app/shell/window/host_shell_fixture.h"
#include "session/store/store_service_doubles.h"
#include "support/focus_rings.h"

namespace kovali {
namespace {

class SettingsKeys : public HostShellTest {
 protected:
  /// A new window showing Settings, active, as the DJ has it; none when it did not become active.
  SettingsView* openSettings() {
    makeShell();
    shell().launch();
    shell().show(HostViewMode::settings);
    MainWindow& window = shell().mainWindow();
    window.activateWindow();
    if (!QTest::qWaitForWindowActive(&window)) return nullptr;
    return dynamic_cast<SettingsView*>(window.currentView());
  }
};

/// Shows `control` and the rows it stands in, which the page hides until a device answers.
QWidget& revealed(QWidget& control, const QWidget& page) {
  for (QWidget* part = &control; part && part != &page; part = part->parentWidget()) part->show();
  return control;
}

TEST_F(SettingsKeys, SpaceOnAFocusedSwitchFlipsItAndLeavesPlaybackAlone) {
  queue("s1");
  SettingsView* settings = openSettings();
  ASSERT_NE(settings, nullptr);

  SwitchToggle& toggle = settings->partyMode().lastSwitch().toggle();
  const bool wasOn = toggle.isChecked();
  toggle.setFocus();
  ASSERT_TRUE(toggle.hasFocus());
  QTest::keyClick(&toggle, Qt::Key_Space);
  EXPECT_NE(toggle.isChecked(), wasOn) << "the focused switch takes the Space";
  EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::stopped);

  settings->setFocus();
  QTest::keyClick(settings, Qt::Key_Space);
  EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::playing) << "Space plays elsewhere";
}

TEST_F(SettingsKeys, SpaceOnAFocusedControlIsItsOwnAndPlaysElsewhere) {
  struct Case {
    const char* name;
    std::function<QWidget&(SettingsView&)> control;
    std::function<bool(QWidget&)> tookTheSpace;  // what the control did with it
    vinaro::PlaybackStatus playback;
  } cases[] = {
      {"a menu opens",
       [](SettingsView& page) -> QWidget& {
         page.heos().inputPicker().addItem(QStringLiteral("Kitchen - Line In"));
         return revealed(page.heos().inputPicker(), page);
       },
       [](QWidget& control) { return static_cast<QComboBox&>(control).view()->isVisible(); },
       vinaro::PlaybackStatus::stopped},
      {"the page itself plays", [](SettingsView& page) -> QWidget& { return page; },
       [](QWidget&) { return true; }, vinaro::PlaybackStatus::playing},
  };
  queue("s1");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SettingsView* settings = openSettings();
    ASSERT_NE(settings, nullptr);

    QWidget& control = c.control(*settings);
    control.setFocus();
    ASSERT_TRUE(control.hasFocus());
    QTest::keyClick(&control, Qt::Key_Space);
    EXPECT_TRUE(c.tookTheSpace(control));
    EXPECT_EQ(store().state().playback.status, c.playback);
    if (auto* menu = qobject_cast<QComboBox*>(&control)) menu->hidePopup();
  }
}

TEST_F(SettingsKeys, EveryControlTabReachesDrawsAFocusRingAloneAtThreeToOneOrMore) {
  using HEOSStatus = HEOSController::Status;
  struct Case {
    const char* name;
    std::function<void()> devicesAnswer;
  } cases[] = {
      {"before any device answers", [] {}},
      {"HEOS connected with a preset and its address, AirPlay on with a speaker",
       [this] {
         auto configuration = heos->configuration();
         configuration.host = "127.0.0.2";
         heos->setConfiguration(configuration);
         heos->setStatus(HEOSStatus::connected("127.0.0.2"));
         heos->setPlayers({{1, "Living Room"}, {2, "Patio"}});
         heos->setInputs({{7, "line1", "Line In"}});
         heos->setZoneVolumes({{1, 30}});
         heos->setPresets({{QUuid::createUuid(), "Dinner", 7, "line1", "Line In", {{1, "Living Room", 25}}, 35}});
         multiRoom->setStatus(MultiRoomAudio::Status::on());
         multiRoom->setSpeakers({{"raop-1", "Kitchen", 40}});
       }},
      {"no HEOS found", [this] { heos->setStatus(HEOSStatus::notFound()); }},
  };
  double weakest = 21;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    output->setDevices({{7, "Null Output", AudioOutput::Device::Transport::other},
                        {9, "USB Speakers", AudioOutput::Device::Transport::usb}});
    output->changeDefault(9);
    heos->followParty(true);
    c.devicesAnswer();
    SettingsView* settings = openSettings();
    ASSERT_NE(settings, nullptr);
    const std::vector<QWidget*> controls = expectTabReachesEveryStop(*settings);
    weakest = std::min(weakest, expectFocusRings(shell().mainWindow(), controls));
    for (QWidget* control : controls) {
      if (qobject_cast<QCheckBox*>(control) || qobject_cast<PresetRow*>(control)) {
        expectNothingUnderTheRing(shell().mainWindow(), *control);
      }
    }
  }
  RecordProperty("weakestRingContrast", QString::number(weakest, 'f', 2).toStdString());
}

}  // namespace
}  // namespace kovali
