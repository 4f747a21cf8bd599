#pragma once

#include <QObject>
#include <QPointer>
#include <memory>

#include "app/settings/log/debug_view.h"
#include "app/shell/window/host_view_mode.h"
#include "app/shell/window/view_mode_preference.h"
#include "platform/runtime/cancellable_task.h"

namespace kovali {

class ArtworkLoader;
class DJPIN;
class MainWindow;
class Preferences;
class Scheduler;
class SessionStore;
class TrayItem;

/// The host's windows, menus and tray item over the one session store, and their lifecycle: the
/// main window opens at launch and starts hosting whenever it appears while the server is
/// stopped; closing it leaves the party running from the tray item; the menus and the tray bring
/// it back in the mode they name. Nothing here ends the host but "Quit Kovali".
class HostShell final : public QObject {
  Q_OBJECT

 public:
  /// What the shell is handed; every one must outlive it.
  struct Services {
    SessionStore& store;
    Scheduler& scheduler;
    Preferences& preferences;
    ArtworkLoader& artwork;
    DJPIN& djPIN;
  };

  explicit HostShell(Services services, QObject* parent = nullptr);
  ~HostShell() override;

  /// Opens the main window, puts the item into the tray and, when the preference says so,
  /// brings multi-room back once the party plays.
  void launch();
  /// Brings the main window forward in `mode`, which is kept for the next launch.
  void show(HostViewMode mode);
  /// Brings the main window forward as it was left (a second launch asks for this).
  void reopen();
  /// Opens the window "Engine Log", or brings it forward; closing it discards its view.
  void openEngineLog();

  ViewModePreference& viewMode() { return viewMode_; }
  MainWindow& mainWindow() { return *mainWindow_; }
  /// The open "Engine Log" window; nothing while it is closed.
  DebugView* engineLog() const { return engineLog_; }
  TrayItem& trayItem() { return *tray_; }

 signals:
  /// "Quit Kovali" was chosen, in a menu or in the tray.
  void quitRequested();

 private:
  Services services_;
  ViewModePreference viewMode_;
  std::unique_ptr<MainWindow> mainWindow_;
  QPointer<DebugView> engineLog_;
  std::unique_ptr<TrayItem> tray_;
  CancellableTask multiRoomResumption_;
};

}  // namespace kovali
