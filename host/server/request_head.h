#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>

class QTcpSocket;

namespace kovali {

/// Waits for the head of the first request on a freshly accepted socket, takes it from the socket
/// and reports what it asks: a WebSocket upgrade or a plain HTTP request. A head longer than `maxBytes` gets 400 and the socket is
/// closed; a socket that sends no whole head within `timeoutMs` is closed. Lives as the socket's
/// child and goes once it has reported; main thread.
class RequestHead final : public QObject {
  Q_OBJECT

 public:
  static constexpr qsizetype maxBytes = 16 * 1024;
  static constexpr int timeoutMs = 10000;

  explicit RequestHead(QTcpSocket* socket);

  /// Drops the socket whose head has not come yet.
  void abandon();

 signals:
  void upgradeArrived(QTcpSocket* socket, QByteArray head);
  void requestArrived(QTcpSocket* socket, QByteArray head);

 private:
  void look();
  void finish();

  QTcpSocket* socket_;
  QTimer timeout_;
};

}  // namespace kovali
