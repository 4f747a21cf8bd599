// kovali-host: hosts the party from its window and its tray item until it is told to quit.

#include <QApplication>

#include "app/shell/host_application.h"
#include "app/shell/single_instance.h"

int main(int argc, char** argv) {
  kovali::HostApplication::prepare();
  QApplication app(argc, argv);

  kovali::SingleInstance instance;
  if (!instance.claim()) {
    qInfo("Kovali is running already; bringing its window forward.");
    return instance.activateRunning() ? 0 : 1;
  }

  kovali::HostApplication host(kovali::HostServices::Options::fromArguments(QCoreApplication::arguments()));
  QObject::connect(&instance, &kovali::SingleInstance::activationRequested, &host, &kovali::HostApplication::reopen);
  host.launch();
  return QApplication::exec();
}
