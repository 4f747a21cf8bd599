#pragma once

#include <cstdint>
#include <memory>

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QObject>

class QWebSocket;

namespace kovali {

/// One phone's WebSocket as the guest server sees it: each complete message, text or binary,
/// arrives as its bytes, and the end of the connection is reported once. The object outlives
/// its table entry until the socket has finished closing, so queued messages still go out.
class GuestConnection final : public QObject {
  Q_OBJECT

 public:
  /// Beyond this a message is not buffered any further and the socket is closed
  /// (close code 1009); smaller messages are left for the server to judge.
  static constexpr std::uint64_t maxBufferedMessageBytes = 8u << 20;

  /// Takes over `socket`, an accepted WebSocket, and keeps the `listener` that accepted it:
  /// a listener takes the network ends of its sockets with it when it goes.
  GuestConnection(QWebSocket* socket, std::shared_ptr<QObject> listener, QObject* parent);
  ~GuestConnection() override;

  /// The address the phone connects from.
  QHostAddress peerAddress() const;

  /// Queues `text` as one text message; false when the socket did not take it.
  bool sendText(const QString& text);
  /// Starts the closing handshake behind whatever is queued.
  void close();
  /// Ends all reporting and closes the socket if it is still open; the object deletes itself
  /// once the socket is closed.
  void release();

 signals:
  /// One complete message from the phone.
  void messageReceived(const QByteArray& bytes);
  /// The socket has closed; reported once, and never after `release`.
  void ended();

 private:
  void socketEnded();
  void deleteOnce();

  std::shared_ptr<QObject> listener_;
  QWebSocket* socket_;
  bool ended_ = false;
  bool released_ = false;
  bool deleting_ = false;
};

}  // namespace kovali
