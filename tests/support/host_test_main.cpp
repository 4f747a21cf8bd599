// Runs the host tests inside a QApplication, headless, with a private runtime folder.

#include <sys/stat.h>

#include <QApplication>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gmock/gmock.h>

#include "app/look/look_style.h"

int main(int argc, char** argv) {
  // Test discovery runs this binary during the build, where there is no display.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");

  QTemporaryDir runtimeDir;
  if (!runtimeDir.isValid() || ::chmod(runtimeDir.path().toLocal8Bit().constData(), 0700) != 0) return 1;
  qputenv("XDG_RUNTIME_DIR", runtimeDir.path().toLocal8Bit());
  QStandardPaths::setTestModeEnabled(true);  // keeps the user's own settings and data out of reach

  ::testing::InitGoogleMock(&argc, argv);
  QApplication app(argc, argv);
  kovali::applySharedLook(app);  // the widgets render as the host draws them
  return RUN_ALL_TESTS();
}
