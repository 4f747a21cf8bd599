#include "app/shell/host_application.h"

#include <QApplication>

#include "session/session_store.h"

namespace kovali {

void HostApplication::prepare() {
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QCoreApplication::setOrganizationName(QStringLiteral("kovaliapp"));
  QCoreApplication::setApplicationName(QStringLiteral("kovali-host"));
}

HostApplication::HostApplication(HostServices::Options options)
    : services_(std::move(options)),
      shell_(HostShell::Services{services_.store(), services_.scheduler(), services_.preferences(), artwork_,
                                 services_.djPIN()}) {
  QApplication::setQuitOnLastWindowClosed(false);
  connect(&termination_, &TerminationSignals::received, qApp, &QCoreApplication::quit);
  connect(&shell_, &HostShell::quitRequested, qApp, &QCoreApplication::quit);
  connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { services_.store().persist(); });
}

HostApplication::~HostApplication() = default;

void HostApplication::launch() { shell_.launch(); }

void HostApplication::reopen() { shell_.reopen(); }

}  // namespace kovali
