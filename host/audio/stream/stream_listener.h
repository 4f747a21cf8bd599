#pragma once

#include <QObject>
#include <QString>
#include <chrono>
#include <memory>

class QTcpServer;

namespace kovali {

class HLSStream;

/// The stream server's listener and the connections it accepted, all on the server's thread.
class StreamListener : public QObject {
  Q_OBJECT

 public:
  StreamListener(std::shared_ptr<const HLSStream> stream, std::chrono::milliseconds idleTimeout);

  /// Replaces any earlier listener with one on 127.0.0.1 at a port the system picks, and reports
  /// it once: `ready` or `failed`.
  void listen();
  /// Stops accepting; the connections already accepted answer and close on their own.
  void close();

 signals:
  void ready(quint16 port);
  void failed(QString error);

 private:
  /// Takes `server` as the listener and follows its connections and errors.
  void serve(QTcpServer* server);
  void accept();
  /// Pauses accepting after a failed accept and takes the socket up again a second later.
  void acceptFailed(QTcpServer* server);
  void listenAgain(QTcpServer* server);
  /// Reports the outcome of the latest `listen()` unless it was reported already.
  void report(bool succeeded, quint16 port, const QString& error);

  std::shared_ptr<const HLSStream> stream_;
  std::chrono::milliseconds idleTimeout_;
  QTcpServer* server_ = nullptr;  // a child; none before listen() and after close()
  bool reported_ = false;
  bool acceptFailing_ = false;  // logged; cleared by the next accepted connection
};

}  // namespace kovali
