// kovali-host: hosts the party from its window and its tray item until it is told to quit.

#include <cstdio>

#include <QApplication>

#include "app/look/look_style.h"
#include "app/shell/launch/command_line.h"
#include "app/shell/launch/host_application.h"
#include "app/shell/launch/single_instance.h"

int main(int argc, char** argv) {
  kovali::HostApplication::prepare();
  QApplication app(argc, argv);
  kovali::applySharedLook(app);

  const auto commandLine = kovali::parseCommandLine(QCoreApplication::arguments());
  if (const auto* exit = std::get_if<kovali::CommandLineExit>(&commandLine)) {
    std::fputs(exit->text.toLocal8Bit().constData(), exit->code == 0 ? stdout : stderr);
    return exit->code;
  }

  kovali::SingleInstance instance;
  if (!instance.claim()) {
    qInfo("Kovali is running already; bringing its window forward.");
    return instance.activateRunning() ? 0 : 1;
  }

  const auto& line = std::get<kovali::CommandLine>(commandLine);
  kovali::HostApplication host(kovali::HostServices::Options{.musicFolder = line.musicFolder, .djPIN = line.djPIN});
  QObject::connect(&instance, &kovali::SingleInstance::activationRequested, &host, &kovali::HostApplication::reopen);
  host.launch();
  return QApplication::exec();
}
