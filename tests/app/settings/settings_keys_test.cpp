// The window's Space plays and pauses, but a focused switch in Settings keeps its own Space.

#include <QTest>

#include "app/look/controls/switch_toggle.h"
#include "app/settings/party/party_mode_settings.h"
#include "app/settings/settings_view.h"
#include "app/settings/widgets/settings_rows.h"
#include "app/shell/window/host_shell_fixture.h"

namespace kovali {
namespace {

using SettingsKeys = HostShellTest;

TEST_F(SettingsKeys, SpaceOnAFocusedSwitchFlipsItAndLeavesPlaybackAlone) {
  queue("s1");
  makeShell();
  shell().launch();
  shell().show(HostViewMode::settings);
  MainWindow& window = shell().mainWindow();
  window.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
  auto* settings = dynamic_cast<SettingsView*>(window.currentView());
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

}  // namespace
}  // namespace kovali
