#include "app/shell/launch/single_instance.h"

#include <unistd.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

namespace kovali {

namespace {

constexpr char activateMessage[] = "activate\n";

QString lockPath(const QString& folder) { return folder + QStringLiteral("/kovali-host.lock"); }

}  // namespace

SingleInstance::SingleInstance(QString folder, QObject* parent)
    : QObject(parent), socketPath_(folder + QStringLiteral("/kovali-host.socket")), lock_(lockPath(folder)) {
  QDir().mkpath(folder);
  // A host that died without unlocking leaves a stale lock; QLockFile sees its process is gone.
  lock_.setStaleLockTime(0);
}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultFolder() {
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (!runtime.isEmpty()) return runtime;
  return QDir::tempPath() + QStringLiteral("/kovali-host-") + QString::number(::getuid());
}

bool SingleInstance::claim() {
  if (!lock_.tryLock(0)) {
    if (lock_.error() == QLockFile::LockFailedError) return false;
    // Without a place for the lock the host runs all the same; it just cannot be found again.
    qWarning().noquote() << "Cannot lock" << lock_.fileName() << "- a second launch will start a second host.";
    return true;
  }
  // The lock is ours, so a socket file left there belongs to a host that has gone.
  QLocalServer::removeServer(socketPath_);
  server_ = new QLocalServer(this);
  server_->setSocketOptions(QLocalServer::UserAccessOption);
  connect(server_, &QLocalServer::newConnection, this, &SingleInstance::acceptConnections);
  if (!server_->listen(socketPath_)) {
    qWarning().noquote() << "A second launch cannot reach this host:" << server_->errorString();
  }
  return true;
}

bool SingleInstance::activateRunning(int timeoutMs) {
  const QDeadlineTimer deadline(timeoutMs);
  do {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (socket.waitForConnected(static_cast<int>(deadline.remainingTime()))) {
      socket.write(activateMessage);
      return socket.waitForBytesWritten(static_cast<int>(deadline.remainingTime()));
    }
    // The running host may not be listening yet.
    QThread::msleep(100);
  } while (!deadline.hasExpired());
  return false;
}

void SingleInstance::acceptConnections() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
      while (socket->canReadLine()) {
        if (socket->readLine() == activateMessage) emit activationRequested();
      }
    });
  }
}

}  // namespace kovali
