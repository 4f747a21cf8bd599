#include "server/request_head.h"

#include <QTcpSocket>

#include "server/artwork_responder.h"
#include "server/artwork_request.h"

namespace kovali {

RequestHead::RequestHead(QTcpSocket* socket) : QObject(socket), socket_(socket) {
  connect(socket_, &QTcpSocket::readyRead, this, &RequestHead::look);
  connect(socket_, &QTcpSocket::disconnected, socket_, &QObject::deleteLater);
  timeout_.setSingleShot(true);
  connect(&timeout_, &QTimer::timeout, socket_, [socket = socket_] { socket->abort(); });
  timeout_.start(timeoutMs);
  look();  // bytes may have come with the connection
}

void RequestHead::abandon() { socket_->abort(); }

void RequestHead::look() {
  // Peeked until whole, so that what follows the head stays on the socket.
  const QByteArray seen = socket_->peek(maxBytes + 1);
  const qsizetype end = seen.indexOf("\r\n\r\n");
  if (end < 0 || end + 4 > maxBytes) {
    if (seen.size() > maxBytes) {
      finish();
      ArtworkResponder::refuse(socket_, 400);
    }
    return;
  }
  const QByteArray head = seen.left(end + 4);
  finish();
  socket_->read(head.size());
  if (isWebSocketUpgrade(std::string_view(head.constData(), static_cast<std::size_t>(head.size())))) {
    emit upgradeArrived(socket_, head);
  } else {
    emit requestArrived(socket_, head);
  }
}

void RequestHead::finish() {
  timeout_.stop();
  disconnect(socket_, nullptr, this, nullptr);
  disconnect(socket_, &QTcpSocket::disconnected, socket_, &QObject::deleteLater);
  deleteLater();
}

}  // namespace kovali
