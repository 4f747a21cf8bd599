#include "app/shell/launch/host_application.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/runtime/ffmpeg_log.h"
#include "platform/runtime/open_file_limit.h"
#include "platform/sound/sound_server_probe.h"
#include "session/store/session_store.h"

namespace kovali {

namespace {

// Without XDG_RUNTIME_DIR (a login over su or ssh, a container) Qt warns at every start; a
// private folder of our own is what it would want.
void ensureRuntimeFolder() {
  const QString given = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!given.isEmpty() && QFileInfo(given).isDir()) return;
  const QByteArray folder = QDir::tempPath().toLocal8Bit() + "/kovali-runtime-" + QByteArray::number(::getuid());
  ::mkdir(folder.constData(), 0700);  // it may exist from an earlier run
  struct stat info {};
  // Only a folder that is ours alone will do; otherwise Qt's own choice and warning stand.
  if (::lstat(folder.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
      (info.st_mode & 077) != 0) {
    return;
  }
  qputenv("XDG_RUNTIME_DIR", folder);
}

}  // namespace

void HostApplication::prepare() {
  raiseOpenFileLimit();
  ensureRuntimeFolder();
  keepFFmpegQuiet();
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
      qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
  }
  QCoreApplication::setOrganizationName(QStringLiteral("kovaliapp"));
  QCoreApplication::setApplicationName(QStringLiteral("kovali-host"));
}

HostApplication::HostApplication(HostServices::Options options)
    : services_(std::move(options)),
      report_(StartupReport::Sources{services_.store(), services_.library(), !services_.djPIN().load().empty(),
                                     services_.djPINGiven(), [] { return soundServerProblem(); }}),
      artwork_(network_, services_.server()),
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
