#pragma once

#include <QObject>
#include <memory>

#include "app/shell/host_view_mode.h"
#include "app/shell/view_mode_preference.h"
#include "platform/runtime/cancellable_task.h"

namespace kovali {

class ArtworkLoader;
class EngineLogWindow;
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
  /// Opens the engine log, or brings it forward.
  void openEngineLog();

  ViewModePreference& viewMode() { return viewMode_; }
  MainWindow& mainWindow() { return *mainWindow_; }
  EngineLogWindow& engineLogWindow() { return *engineLog_; }
  TrayItem& trayItem() { return *tray_; }

 signals:
  /// "Quit Kovali" was chosen, in a menu or in the tray.
  void quitRequested();

 private:
  Services services_;
  ViewModePreference viewMode_;
  std::unique_ptr<MainWindow> mainWindow_;
  std::unique_ptr<EngineLogWindow> engineLog_;
  std::unique_ptr<TrayItem> tray_;
  CancellableTask multiRoomResumption_;
};

}  // namespace kovali
