// The shell's lifecycle: hosting starts when the main window first appears, the window closes
// and comes back in the mode asked for, and the mode is kept between launches.

#include <QAbstractButton>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>

#include "app/look/frame_refresh.h"
#include "app/menus/tray_item.h"
#include "app/party/party_view.h"
#include "app/settings/log/debug_view.h"
#include "app/settings/log/engine_log_model.h"
#include "app/shell/window/host_shell_fixture.h"
#include "app/shell/window/view_picker.h"

namespace kovali {
namespace {

class HostShellLifecycle : public HostShellTest {
 protected:
  int authorizationRequests() const {
    return static_cast<int>(std::count(catalog.requests.begin(), catalog.requests.end(), "authorization"));
  }
  int registrations() const { return advertiser->registrations; }
  void closeAndReopen() {
    shell().mainWindow().close();
    ASSERT_FALSE(shell().mainWindow().isVisible());
    shell().reopen();
    ASSERT_TRUE(shell().mainWindow().isVisible());
  }
};

TEST_F(HostShellLifecycle, HostingStartsOnceWhenTheMainWindowFirstAppears) {
  makeShell();
  EXPECT_EQ(registrations(), 0) << "nothing starts before the window shows";
  shell().launch();
  EXPECT_TRUE(shell().mainWindow().isVisible());
  EXPECT_EQ(registrations(), 1);
  EXPECT_EQ(authorizationRequests(), 1) << "the music's availability was not known yet";

  runPostedEvents();
  ASSERT_TRUE(std::holds_alternative<MusicService::Ready>(music.availability()));
  closeAndReopen();
  EXPECT_EQ(registrations(), 1) << "a starting server is left alone";
  EXPECT_EQ(authorizationRequests(), 1) << "a known availability is not asked again";

  advertiser->confirmRegistration();
  ASSERT_TRUE(std::holds_alternative<HostServerStatus::Ready>(server->status().value));
  closeAndReopen();
  shell().show(HostViewMode::settings);
  EXPECT_EQ(registrations(), 1) << "a ready server is left alone";
}

TEST_F(HostShellLifecycle, AFailedServerIsLeftToItsOwnRetries) {
  makeShell();
  shell().launch();
  advertiser->failPublishing(AdvertiserError{AdvertiserError::Kind::serviceNotRunning, "Gone."});
  runPostedEvents();
  ASSERT_TRUE(std::holds_alternative<HostServerStatus::Failed>(server->status().value)) << server->status();

  closeAndReopen();
  EXPECT_EQ(registrations(), 1);
}

TEST_F(HostShellLifecycle, OpensInTheModeItWasLeftIn) {
  struct Case {
    const char* stored;
    HostViewMode mode;
    bool toolbarBackground;
  };
  const Case cases[] = {
      {nullptr, HostViewMode::party, false},
      {"console", HostViewMode::console, true},
      {"settings", HostViewMode::settings, true},
      {"disco", HostViewMode::party, false},
  };
  for (const auto& c : cases) {
    const std::string name = c.stored ? c.stored : "nothing stored";
    if (c.stored) {
      preferences.setValue("hostViewMode", QString::fromLatin1(c.stored));
    } else {
      preferences.remove("hostViewMode");
    }
    makeShell().launch();
    MainWindow& window = shell().mainWindow();
    EXPECT_EQ(shell().viewMode().mode(), c.mode) << name;
    EXPECT_EQ(window.currentView() == &window.partyView(), c.mode == HostViewMode::party) << name;
    EXPECT_EQ(window.currentView() == &window.settingsView(), c.mode == HostViewMode::settings) << name;
    EXPECT_TRUE(window.picker().segment(c.mode)->isChecked()) << name;
    EXPECT_EQ(window.showsToolbarBackground(), c.toolbarBackground) << name;

    store().performHostAction(vinaro::action::SetMode{vinaro::PartyMode::suggestion});
    advance(2 * FrameRefresh::frameSeconds);
    EXPECT_EQ(store().sharedState().use_count(), 2) << name << ": a page that keeps the party makes a change copy it";
  }
}

TEST_F(HostShellLifecycle, MenusTrayAndPickerChangeTheOneViewMode) {
  makeShell().launch();
  MainWindow& window = shell().mainWindow();
  window.close();

  shell().trayItem().menu().actionSet().openSettings()->trigger();
  EXPECT_TRUE(window.isVisible()) << "the tray brings the closed window back";
  EXPECT_EQ(preferences.stringValue("hostViewMode"), QString("settings"));
  EXPECT_TRUE(window.picker().segment(HostViewMode::settings)->isChecked());

  window.picker().segment(HostViewMode::console)->click();
  EXPECT_EQ(preferences.stringValue("hostViewMode"), QString("console"));
  EXPECT_TRUE(window.showsToolbarBackground());

  windowMenuItem("Party", "Show Party View")->trigger();
  EXPECT_EQ(window.currentView(), &window.partyView());
  EXPECT_FALSE(window.showsToolbarBackground()) << "the party screen runs to the top of the window";
  EXPECT_EQ(preferences.stringValue("hostViewMode"), QString("party"));
}

TEST_F(HostShellLifecycle, TheMainWindowIsKovaliAtItsDefaultSize) {
  makeShell().launch();
  MainWindow& window = shell().mainWindow();
  EXPECT_EQ(window.windowTitle(), QString("Kovali"));
  EXPECT_EQ(window.size(), MainWindow::defaultSize);
  EXPECT_EQ(window.centralWidget()->minimumSizeHint(), MainWindow::minimumContentSize);
  EXPECT_GE(window.minimumHeight(), MainWindow::minimumContentSize.height()) << "the window asks for room for it";
}

TEST_F(HostShellLifecycle, TheEngineLogOpensFromTheDebugMenuAndShowsTheLog) {
  makeShell().launch();
  player.log("first line");
  EXPECT_EQ(shell().engineLog(), nullptr) << "the window is made when it opens";

  windowMenuItem("Debug", "Engine Log")->trigger();
  DebugView* log = shell().engineLog();
  ASSERT_NE(log, nullptr);
  EXPECT_TRUE(log->isVisible());
  EXPECT_TRUE(log->isWindow());
  EXPECT_EQ(log->windowTitle(), QString("Engine Log"));
  const EngineLogModel& rows = log->logModel();
  ASSERT_EQ(rows.rowCount(), 1);
  EXPECT_TRUE(rows.index(0).data().toString().endsWith("  first line"))
      << rows.index(0).data().toString().toStdString();
  player.log("second line");
  ASSERT_EQ(rows.rowCount(), 2);
  EXPECT_TRUE(rows.index(1).data().toString().endsWith("  second line"));
  EXPECT_EQ(shell().viewMode().mode(), HostViewMode::party) << "the log leaves the view mode alone";

  windowMenuItem("Debug", "Engine Log")->trigger();
  EXPECT_EQ(shell().engineLog(), log) << "an open log is brought forward, not made again";

  log->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(shell().engineLog(), nullptr) << "closing discards the view";
  EXPECT_TRUE(shell().mainWindow().isVisible());
  EXPECT_EQ(player.log().size(), 2U) << "the engine keeps its log";
}

TEST_F(HostShellLifecycle, QuitKovaliAsksToQuitFromTheTrayAndTheWindow) {
  makeShell().launch();
  QSignalSpy quits(&shell(), &HostShell::quitRequested);
  shell().trayItem().menu().quit()->trigger();
  EXPECT_EQ(quits.count(), 1);
  windowMenuItem("File", "Quit Kovali")->trigger();
  EXPECT_EQ(quits.count(), 2);
}

}  // namespace
}  // namespace kovali
