#include "server/guest_connection.h"

#include <utility>

#include <QWebSocket>

namespace kovali {

GuestConnection::GuestConnection(QWebSocket* socket, std::shared_ptr<QObject> listener, QObject* parent)
    : QObject(parent), listener_(std::move(listener)), socket_(socket) {
  socket_->setParent(this);
  socket_->setMaxAllowedIncomingMessageSize(maxBufferedMessageBytes);
  socket_->setMaxAllowedIncomingFrameSize(maxBufferedMessageBytes);

  connect(socket_, &QWebSocket::textMessageReceived, this,
          [this](const QString& text) { emit messageReceived(text.toUtf8()); });
  connect(socket_, &QWebSocket::binaryMessageReceived, this, &GuestConnection::messageReceived);
  connect(socket_, &QWebSocket::disconnected, this, &GuestConnection::socketEnded);
  if (socket_->state() != QAbstractSocket::ConnectedState) {
    // Gone before it was taken in: report it once the owner has connected.
    QMetaObject::invokeMethod(this, &GuestConnection::socketEnded, Qt::QueuedConnection);
  }
}

GuestConnection::~GuestConnection() {
  // Nothing is reported from inside our own end, and the socket goes before its listener.
  socket_->disconnect(this);
  delete socket_;
}

QHostAddress GuestConnection::peerAddress() const { return socket_->peerAddress(); }

bool GuestConnection::sendText(const QString& text) {
  if (ended_) return false;
  return socket_->sendTextMessage(text) >= 0;
}

void GuestConnection::close() {
  if (!ended_) socket_->close();
}

void GuestConnection::release() {
  disconnect(this, nullptr, nullptr, nullptr);  // what is still said goes to no one
  released_ = true;
  if (ended_) {
    deleteOnce();
  } else {
    socket_->close();  // reports `disconnected` once the queued bytes are out, and then we go
  }
}

void GuestConnection::socketEnded() {
  if (std::exchange(ended_, true)) return;
  emit ended();
  if (released_) deleteOnce();
}

void GuestConnection::deleteOnce() {
  if (!std::exchange(deleting_, true)) deleteLater();
}

}  // namespace kovali
