#include "server/guest_connection.h"

#include <algorithm>
#include <utility>

#include <QPointer>
#include <QTcpSocket>
#include <QWebSocket>

namespace kovali {
namespace {

qint64 bytesOf(const QString& text) { return static_cast<qint64>(text.size()) * static_cast<qint64>(sizeof(QChar)); }

}  // namespace

GuestConnection::GuestConnection(QWebSocket* socket, QTcpSocket* transport, std::shared_ptr<QObject> listener,
                                 Scheduler& scheduler, QObject* parent)
    : QObject(parent), listener_(std::move(listener)), socket_(socket), transport_(transport), scheduler_(scheduler) {
  socket_->setParent(this);
  socket_->setMaxAllowedIncomingMessageSize(maxBufferedMessageBytes);
  socket_->setMaxAllowedIncomingFrameSize(maxBufferedMessageBytes);

  connect(socket_, &QWebSocket::textMessageReceived, this,
          [this](const QString& text) { emit messageReceived(text.toUtf8()); });
  connect(socket_, &QWebSocket::binaryMessageReceived, this, &GuestConnection::messageReceived);
  connect(socket_, &QWebSocket::disconnected, this, &GuestConnection::socketEnded);
  connect(socket_, &QWebSocket::bytesWritten, this, [this] {
    writeWaiting(false);
    holdReadingWhileBehind();
  });
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

bool GuestConnection::sendText(const QString& text, Kind kind) {
  if (ended_) return false;
  if (kind == Kind::latestState) {
    const auto older = std::find_if(waiting_.begin(), waiting_.end(),
                                    [](const Waiting& waiting) { return waiting.kind == Kind::latestState; });
    if (older != waiting_.end()) {
      waitingBytes_ -= bytesOf(older->text);
      waiting_.erase(older);
    }
  }
  const qint64 wouldBe = unsentBytes() + bytesOf(text);
  if (wouldBe > maxUnsentBytes) {
    // Bounded at every moment: whatever a phone sends and does not read costs no more than this.
    // Reported from the event loop, as the sender may be going through every connection.
    ended_ = true;
    waiting_.clear();
    waitingBytes_ = 0;
    QMetaObject::invokeMethod(
        this,
        [this, wouldBe] {
          emit stalled(wouldBe);
          socket_->abort();
        },
        Qt::QueuedConnection);
    return false;
  }
  waiting_.push_back({text, kind});
  waitingBytes_ += bytesOf(text);
  writeWaiting(false);
  holdReadingWhileBehind();
  return true;
}

qint64 GuestConnection::unsentBytes() const { return socket_->bytesToWrite() + waitingBytes_; }

void GuestConnection::writeWaiting(bool all) {
  while (!waiting_.empty() && (all || socket_->bytesToWrite() < maxSocketBacklogBytes)) {
    const Waiting next = std::move(waiting_.front());
    waiting_.pop_front();
    waitingBytes_ -= bytesOf(next.text);
    socket_->sendTextMessage(next.text);
  }
}

void GuestConnection::holdReadingWhileBehind() {
  const bool behind = unsentBytes() >= holdReadingBytes;
  if (!transport_ || behind == readingHeld_) return;
  readingHeld_ = behind;
  // A full read buffer stops reading from the network; the phone's messages wait in its own
  // buffers and the network's, not in ours.
  transport_->setReadBufferSize(behind ? 1 : 0);
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
  waiting_.clear();
  waitingBytes_ = 0;
  socket_->abort();
}

void GuestConnection::release() {
  disconnect(this, nullptr, nullptr, nullptr);  // what is still said goes to no one
  released_ = true;
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
