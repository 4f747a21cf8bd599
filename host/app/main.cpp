// kovali-host: hosts the party until SIGINT or SIGTERM, then saves the session.

#include <QApplication>

#include "app/host_services.h"
#include "app/termination_signals.h"

int main(int argc, char** argv) {
  // Phones can join a host without a screen; Qt needs a platform all the same.
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QCoreApplication::setOrganizationName(QStringLiteral("kovaliapp"));
  QCoreApplication::setApplicationName(QStringLiteral("kovali-host"));
  QApplication app(argc, argv);

  kovali::TerminationSignals termination;
  QObject::connect(&termination, &kovali::TerminationSignals::received, &app, &QCoreApplication::quit);

  kovali::HostServices services(kovali::HostServices::Options::fromArguments(QCoreApplication::arguments()));
  QObject::connect(&app, &QCoreApplication::aboutToQuit, [&services] { services.store().persist(); });
  services.startHosting();
  return QApplication::exec();
}
