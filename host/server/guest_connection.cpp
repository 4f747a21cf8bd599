#include "server/guest_connection.h"

#include <algorithm>
#include <utility>

#include <QPointer>
#include <QTcpSocket>
#include <QWebSocket>

#include "platform/runtime/logging.h"

namespace kovali {
namespace {

/// A frame's header is at most this long: the read room holds a whole frame of the largest message.
constexpr qint64 frameHeaderBytes = 14;
constexpr qint64 maxReadRoom = GuestConnection::maxIncomingMessageBytes + frameHeaderBytes;
constexpr qint64 baseReadRoom = GuestConnection::ownReadBytes + frameHeaderBytes;

}  // namespace

GuestConnection::GuestConnection(QWebSocket* socket, QTcpSocket* transport, std::shared_ptr<QObject> listener,
                                 std::shared_ptr<IncomingPool> pool, Scheduler& scheduler, QObject* parent)
    : QObject(parent),
      listener_(std::move(listener)),
      socket_(socket),
      transport_(transport),
      pool_(std::move(pool)),
      scheduler_(scheduler) {
  socket_->setParent(this);
  socket_->setMaxAllowedIncomingMessageSize(maxIncomingMessageBytes);
  socket_->setMaxAllowedIncomingFrameSize(maxIncomingMessageBytes);

  connect(socket_, &QWebSocket::textMessageReceived, this,
          [this](const QString& text) { received(text.toUtf8()); });
  connect(socket_, &QWebSocket::binaryMessageReceived, this, &GuestConnection::received);
  // The library keeps a message's frames until its last one; text as UTF-16.
  connect(socket_, &QWebSocket::textFrameReceived, this, [this](const QString& frame, bool last) {
    if (!last && !holdPart(frame.size() * qint64{2})) abort();
  });
  connect(socket_, &QWebSocket::binaryFrameReceived, this, [this](const QByteArray& frame, bool last) {
    if (!last && !holdPart(frame.size())) abort();
  });
  connect(socket_, &QWebSocket::disconnected, this, &GuestConnection::socketEnded);
  connect(socket_, &QWebSocket::bytesWritten, this, [this] {
    writeWaiting(false);
    handOnHeld();
  });
  if (transport_) {
    setReadRoom(baseReadRoom);
    // Looked at once the library has taken every whole frame it holds.
    connect(transport_, &QTcpSocket::readyRead, this, &GuestConnection::growReadRoomWhenFull, Qt::QueuedConnection);
  }
  if (socket_->state() != QAbstractSocket::ConnectedState) {
    // Gone before it was taken in: report it once the owner has connected.
    QMetaObject::invokeMethod(this, &GuestConnection::socketEnded, Qt::QueuedConnection);
  }
}

GuestConnection::~GuestConnection() {
  // Nothing is reported from inside our own end, and the socket goes before its listener.
  socket_->disconnect(this);
  delete socket_;
  if (transport_) {
    transport_->abort();
    delete transport_;
  }
  pool_->giveBack(readGrant_ + partGrant_);
}

QHostAddress GuestConnection::peerAddress() const { return socket_->peerAddress(); }

bool GuestConnection::send(OutgoingBacklog::Message message) {
  if (ended_) return false;
  if (backlog_.ordinaryAfterPush(message, socket_->bytesToWrite()) > maxUnsentBytes) {
    // Bounded at every moment: whatever a phone sends and does not read costs no more than this.
    // Reported from the event loop, as the sender may be going through every connection.
    const qint64 wouldBe = unsentBytes() + message.bytes();
    ended_ = true;
    backlog_.clearWaiting();
    QMetaObject::invokeMethod(
        this,
        [this, wouldBe] {
          emit stalled(wouldBe);
          socket_->abort();
        },
        Qt::QueuedConnection);
    return false;
  }
  backlog_.push(std::move(message));
  writeWaiting(false);
  return true;
}

qint64 GuestConnection::unsentBytes() const { return backlog_.unsent(socket_->bytesToWrite()); }

void GuestConnection::writeWaiting(bool all) {
  while (backlog_.hasWaiting() && (all || socket_->bytesToWrite() < maxSocketBacklogBytes)) {
    const auto next = backlog_.takeNext();
    const qint64 before = socket_->bytesToWrite();
    write(next);
    backlog_.handed(next.kind, socket_->bytesToWrite() - before);
  }
}

void GuestConnection::write(const OutgoingBacklog::Message& message) {
  if (!transport_ || transport_->state() != QAbstractSocket::ConnectedState) {
    socket_->sendTextMessage(QString::fromUtf8(message.head + message.body + message.tail));
    return;
  }
  // One unmasked text frame, written whole before the library can write a frame of its own; the
  // socket keeps a reference to a large body instead of a copy.
  const auto length = static_cast<quint64>(message.bytes());
  QByteArray header(1, '\x81');
  if (length < 126) {
    header += static_cast<char>(length);
  } else {
    const int extra = length < 65536 ? 2 : 8;
    header += static_cast<char>(extra == 2 ? 126 : 127);
    for (int i = extra - 1; i >= 0; --i) header += static_cast<char>((length >> (8 * i)) & 0xff);
  }
  transport_->write(header + message.head);
  transport_->write(message.body);
  transport_->write(message.tail);
}

void GuestConnection::received(const QByteArray& bytes) {
  releaseParts();
  if (held_.empty() && !behind()) {
    emit messageReceived(bytes);
    return;
  }
  // Read on rather than stopping in the middle of a frame, which the library would time out.
  held_.push_back(bytes);
  if (held_.size() >= maxHeldMessages) setReadRoom(1);
}

void GuestConnection::handOnHeld() {
  if (held_.empty()) return;
  const QPointer<GuestConnection> self(this);
  while (self && !held_.empty() && !behind() && !released_) {
    const QByteArray next = std::move(held_.front());
    held_.pop_front();
    emit messageReceived(next);
  }
  if (self && held_.size() < maxHeldMessages && transport_ && transport_->readBufferSize() == 1) {
    setReadRoom(baseReadRoom);
  }
}

bool GuestConnection::holdPart(qint64 bytes) {
  partBytes_ += bytes;
  const qint64 needed = std::max<qint64>(0, partBytes_ - ownReadBytes) - partGrant_;
  if (needed <= 0) return true;
  if (!pool_->take(needed)) {
    qCWarning(lcNet) << "A guest's message in many parts takes more memory than the host has for messages"
                     << "arriving; closing that connection.";
    return false;
  }
  partGrant_ += needed;
  return true;
}

void GuestConnection::releaseParts() {
  pool_->giveBack(std::exchange(partGrant_, 0));
  partBytes_ = 0;
  // The frames that needed a larger room have been read.
  if (transport_ && readGrant_ > 0 && transport_->bytesAvailable() < baseReadRoom) setReadRoom(baseReadRoom);
}

void GuestConnection::growReadRoomWhenFull() {
  if (!transport_ || held_.size() >= maxHeldMessages) return;
  const qint64 room = transport_->readBufferSize();
  // The library may have taken a frame's header and wait for its payload.
  if (room >= maxReadRoom || transport_->bytesAvailable() < room - frameHeaderBytes) return;
  // A frame larger than the room never completes; one that the pool cannot make room for now
  // waits, and the library closes the connection if it does not complete in time.
  const qint64 wanted = std::min(room * 2, maxReadRoom);
  if (!pool_->take(wanted - room)) return;
  readGrant_ += wanted - room;
  transport_->setReadBufferSize(wanted);
}

void GuestConnection::setReadRoom(qint64 bytes) {
  pool_->giveBack(std::exchange(readGrant_, 0));
  transport_->setReadBufferSize(bytes);
}

void GuestConnection::startStallCheck() {
  stallCheck_.start([this, self = QPointer<GuestConnection>(this)](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(stallSeconds, token);
    if (token.isCancelled() || !self) co_return;
    stallCheckDue();
  });
}

void GuestConnection::expectGreeting(double seconds) {
  greetingDeadline_.start([this, seconds, self = QPointer<GuestConnection>(this)](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(seconds, token);
    if (token.isCancelled() || !self) co_return;
    emit greetingMissed();
  });
}

void GuestConnection::stallCheckDue() {
  stallCheck_.cancel();
  abort();  // released, and no one reads what is left
}

void GuestConnection::close() {
  if (ended_) return;
  writeWaiting(true);
  socket_->close();
}

void GuestConnection::abort() {
  backlog_.clearWaiting();
  socket_->abort();
}

void GuestConnection::release() {
  disconnect(this, nullptr, nullptr, nullptr);  // what is still said goes to no one
  released_ = true;
  held_.clear();
  greetingDeadline_.cancel();
  if (ended_) {
    deleteOnce();
    return;
  }
  writeWaiting(true);
  socket_->close();  // reports `disconnected` once the queued bytes are out, and then we go
  // A phone that no longer reads would keep the socket and its bytes for good.
  if (!ended_) startStallCheck();
}

void GuestConnection::socketEnded() {
  greetingDeadline_.cancel();
  if (std::exchange(ended_, true)) return;
  stallCheck_.cancel();
  emit ended();
  if (released_) deleteOnce();
}

void GuestConnection::deleteOnce() {
  if (!std::exchange(deleting_, true)) deleteLater();
}

}  // namespace kovali
