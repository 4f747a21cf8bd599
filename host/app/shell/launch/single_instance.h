#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;

namespace kovali {

/// Keeps one host per user. The first launch takes a lock in the user's runtime folder and
/// listens on a local socket beside it; a later launch finds the lock taken, asks the running
/// host through that socket to bring its window forward, and ends.
class SingleInstance final : public QObject {
  Q_OBJECT

 public:
  /// Uses `folder` for the lock and the socket: by default the user's runtime folder
  /// (XDG_RUNTIME_DIR), else a per-user folder in the temporary one.
  explicit SingleInstance(QString folder = defaultFolder(), QObject* parent = nullptr);
  ~SingleInstance() override;

  /// Becomes the running host unless another holds the lock; answers whether it did. Where no
  /// lock can be made at all, answers true: a host that cannot be found again beats none.
  bool claim();

  /// Asks the running host to come forward; answers whether it got the message. Waits up to
  /// `timeoutMs` for a host that is still starting up.
  bool activateRunning(int timeoutMs = 5000);

  static QString defaultFolder();

 signals:
  /// Another launch asked this host to come forward.
  void activationRequested();

 private:
  void acceptConnections();

  QString socketPath_;
  QLockFile lock_;
  QLocalServer* server_ = nullptr;
};

}  // namespace kovali
