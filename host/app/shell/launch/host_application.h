#pragma once

#include <QObject>

#include "app/look/artwork/network_artwork_loader.h"
#include "app/shell/launch/startup_report.h"
#include "app/shell/launch/termination_signals.h"
#include "app/shell/services/host_services.h"
#include "app/shell/services/loopback_artwork_loader.h"
#include "app/shell/window/host_shell.h"

namespace kovali {

/// kovali-host as a desktop application: the services, then the windows and the tray item over
/// them. It quits on "Quit Kovali" and on SIGINT or SIGTERM, and saves the session whenever it
/// quits; closing windows never ends it.
class HostApplication final : public QObject {
  Q_OBJECT

 public:
  /// Raises the open-file limit to the most allowed, names the application (which decides
  /// where its settings and files go), makes a private runtime folder where the session has none,
  /// and, without a display, picks Qt's offscreen platform so that phones can still join. Call before the QApplication is made.
  static void prepare();

  /// Builds the services in start-up order, then the shell; starts nothing.
  explicit HostApplication(HostServices::Options options);
  ~HostApplication() override;

  /// Opens the main window, which starts hosting, and shows the tray item.
  void launch();
  /// Brings the main window forward, for a second launch.
  void reopen();

  HostServices& services() { return services_; }

 private:
  TerminationSignals termination_;
  HostServices services_;
  StartupReport report_;
  NetworkArtworkLoader network_;
  LoopbackArtworkLoader artwork_;  // the windows'
  HostShell shell_;
};

}  // namespace kovali
