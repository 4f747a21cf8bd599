#include "app/shell/window/host_shell.h"

#include <QGuiApplication>
#include <QLayout>
#include <QPointer>

#include "app/menus/tray_item.h"
#include "app/settings/log/debug_view.h"
#include "app/shell/services/hosting_start.h"
#include "app/shell/services/multi_room_resumption.h"
#include "app/shell/window/main_window.h"
#include "session/store/session_store.h"

namespace kovali {

namespace {

// Headless, on Qt's offscreen platform, there is no window stack to raise a window in.
bool hasWindowStack() { return QGuiApplication::platformName() != QLatin1String("offscreen"); }

void showSettled(QWidget& window) {
  // Size limits settled before the window exists reach it when it is made; later changes need
  // a platform that takes them, which the offscreen one does not.
  if (QLayout* layout = window.layout()) layout->activate();
  window.show();
}

void bringForward(QWidget& window) {
  showSettled(window);
  window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
  if (!hasWindowStack()) return;
  window.raise();
  window.activateWindow();
}

}  // namespace

HostShell::HostShell(Services services, QObject* parent)
    : QObject(parent), services_(services), viewMode_(services.preferences) {
  const auto show = [this](HostViewMode mode) { this->show(mode); };
  const auto quit = [this] { emit quitRequested(); };
  mainWindow_ =
      std::make_unique<MainWindow>(services_.store, viewMode_, services_.scheduler, services_.artwork,
                                   SettingsView::Services{services_.store, services_.djPIN, services_.preferences, services_.scheduler},
                                   MainWindow::Commands{show, [this] { openEngineLog(); }, quit});
  tray_ = std::make_unique<TrayItem>(services_.store, show, quit);

  SessionStore& store = services_.store;
  connect(mainWindow_.get(), &MainWindow::appeared, this, [&store] { startHostingOnAppearance(store); });
}

HostShell::~HostShell() { delete engineLog_; }

void HostShell::launch() {
  if (resumesMultiRoomAtLaunch(services_.preferences)) {
    multiRoomResumption_.start(
        [&scheduler = services_.scheduler, store = QPointer(&services_.store)](CancellationToken token) {
          return resumeMultiRoomOncePlaying(scheduler, store, token);
        });
  }
  showSettled(*mainWindow_);
  tray_->show();
}

void HostShell::show(HostViewMode mode) {
  viewMode_.setMode(mode);
  bringForward(*mainWindow_);
}

void HostShell::reopen() { bringForward(*mainWindow_); }

void HostShell::openEngineLog() {
  if (!engineLog_) {
    engineLog_ = new DebugView(services_.store);
    engineLog_->setWindowFlag(Qt::Window);
    engineLog_->setAttribute(Qt::WA_DeleteOnClose);
    engineLog_->setWindowTitle(QStringLiteral("Engine Log"));
    engineLog_->resize(760, 400);
  }
  bringForward(*engineLog_);
}

}  // namespace kovali
