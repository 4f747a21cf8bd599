#pragma once

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <chrono>
#include <memory>
#include <string_view>

class QTcpSocket;

namespace kovali {

class HLSStream;

/// One connection to the stream server: reads a request head, sends one response and closes;
/// deletes itself when done. A head over the cap, a protocol other than HTTP/1.x, a peer that
/// leaves or stays silent for the idle timeout: closed without an answer. A client that stops
/// reading its answer for as long is dropped as well.
class StreamConnection : public QObject {
  Q_OBJECT

 public:
  /// Takes `socket` over; lives on the socket's thread.
  StreamConnection(QTcpSocket* socket, std::shared_ptr<const HLSStream> stream, std::chrono::milliseconds idleTimeout,
                   QObject* parent);

 private:
  void read();
  void respond(std::string_view head);
  /// Closes at once, without an answer, and goes.
  void drop();

  QTcpSocket* socket_;
  std::shared_ptr<const HLSStream> stream_;
  QTimer idle_;
  QByteArray received_;
  bool answered_ = false;
};

}  // namespace kovali
