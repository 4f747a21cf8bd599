#include "server/guest_connection.h"

#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/uio.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <utility>

#include <QPointer>
#include <QTcpSocket>

#include "platform/runtime/logging.h"

namespace kovali {
namespace {

/// Has the system end an idle connection once the phone has answered none of its probes for
/// `seconds`. What waits unacknowledged is watched by the connection itself: the system's own
/// timeout for it (TCP_USER_TIMEOUT) also ends phones that read steadily through a window that
/// opens slowly.
void probeWhenIdle(QTcpSocket& socket, int seconds) {
  const auto fd = static_cast<int>(socket.socketDescriptor());
  if (fd < 0) return;
  const int on = 1, idle = seconds / 3, probes = 4, interval = (seconds - idle) / probes;
  setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
}

/// `time` in seconds of the host's clock.
double secondsOf(MonotonicTime time) { return std::chrono::duration<double>(time.time_since_epoch()).count(); }

/// What the system holds of what the socket wrote: unacknowledged, and of that not even sent.
struct SystemQueue {
  int unacknowledged = 0, unsent = 0;
};
SystemQueue systemQueue(const QTcpSocket& socket) {
  const auto fd = static_cast<int>(socket.socketDescriptor());
  SystemQueue queue;
  if (ioctl(fd, SIOCOUTQ, &queue.unacknowledged) != 0) return {};
  // All acknowledged is all sent: a phone that has read everything, as most have, costs one call.
  if (queue.unacknowledged > 0 && ioctl(fd, SIOCOUTQNSD, &queue.unsent) != 0) return {};
  return queue;
}

/// `size` bytes of `bytes` from `from`, sharing its memory rather than copying it.
QByteArray sharedSlice(QByteArray bytes, qsizetype from, qsizetype size) {
  QByteArray::DataPointer view = bytes.data_ptr();
  view.ptr += from;
  view.size = size;
  return QByteArray(std::move(view));
}

/// Hands `bytes` to `socket` from `from` on as slices of `GuestLimits::writeSliceBytes`: the socket
/// writes one slice each time the event loop finds its phone ready, however much the system would take.
void writeInSlices(QTcpSocket& socket, const QByteArray& bytes, qsizetype from) {
  for (; from < bytes.size(); from += GuestLimits::writeSliceBytes) {
    socket.write(sharedSlice(bytes, from, std::min<qsizetype>(GuestLimits::writeSliceBytes, bytes.size() - from)));
  }
}

/// One frame as the pieces it is kept in.
using FramePieces = std::array<QByteArray, 3>;

/// Gives the system as much of `pieces` as it takes now, without waiting: what it took, 0 when it
/// took nothing or the connection failed, which the socket then finds out for itself.
qint64 sendNow(const QTcpSocket& socket, const FramePieces& pieces) {
  std::array<iovec, 3> parts{};
  for (std::size_t i = 0; i < pieces.size(); ++i) {
    parts[i] = {const_cast<char*>(pieces[i].constData()), static_cast<std::size_t>(pieces[i].size())};
  }
  msghdr frame{};
  frame.msg_iov = parts.data();
  frame.msg_iovlen = parts.size();
  const ssize_t taken =
      ::sendmsg(static_cast<int>(socket.socketDescriptor()), &frame, MSG_DONTWAIT | MSG_NOSIGNAL);
  return std::max<qint64>(taken, 0);
}

}  // namespace

GuestConnection::GuestConnection(QTcpSocket* socket, ConnectionID id, std::shared_ptr<IncomingPool> pool,
                                 std::shared_ptr<PartiesInFlight> parties, Scheduler& scheduler, QObject* parent)
    : QObject(parent),
      socket_(socket),
      id_(id),
      pool_(std::move(pool)),
      parties_(std::move(parties)),
      scheduler_(scheduler) {
  socket_->setParent(this);
  // What the socket takes in from the network before a frame asks for it stays small.
  socket_->setReadBufferSize(GuestLimits::ownReadBytes);
  probeWhenIdle(*socket_, GuestLimits::silentSeconds);
  acknowledgements_ = scheduler_.repeat(GuestLimits::acknowledgementsLookSeconds, [this] { watchAcknowledgements(); });
  lastAcknowledged_ = scheduler_.monotonicNow();
  connect(socket_, &QTcpSocket::readyRead, this, &GuestConnection::readFrames);
  connect(socket_, &QTcpSocket::bytesWritten, this, [this] {
    writeWaiting(false);
    readFrames();
  });
  connect(socket_, &QTcpSocket::disconnected, this, &GuestConnection::socketEnded);
  connect(socket_, &QTcpSocket::errorOccurred, this, [this] {
    if (socket_->state() == QAbstractSocket::UnconnectedState) socketEnded();
  });
  // Gone before it was taken in, or with frames that came with the handshake: looked at once the
  // owner has connected.
  QMetaObject::invokeMethod(
      this,
      [this] {
        if (socket_->state() != QAbstractSocket::ConnectedState) {
          socketEnded();
        } else {
          readFrames();
        }
      },
      Qt::QueuedConnection);
}

GuestConnection::~GuestConnection() {
  // Nothing is reported from inside our own end.
  socket_->disconnect(this);
  socket_->abort();
  parties_->forget(this);
  giveBackReserve();
}

QHostAddress GuestConnection::peerAddress() const { return socket_->peerAddress(); }

bool GuestConnection::send(OutgoingBacklog::Message message) {
  if (ended_ || closing_) return false;
  if (backlog_.beyondPartyAfterPush(message, socket_->bytesToWrite()) > GuestLimits::maxUnsentBytes) {
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
  backlog_.push(std::move(message), secondsOf(scheduler_.monotonicNow()));
  writeWaiting(false);
  return true;
}

qint64 GuestConnection::unsentBytes() const { return backlog_.kept(socket_->bytesToWrite()); }

void GuestConnection::readFrames() {
  const QPointer<GuestConnection> self(this);
  while (self && socket_->bytesAvailable() > 0) {
    if (closing_) {
      socket_->readAll();  // nothing more is answered
      return;
    }
    if (released_ || ended_ || behind() || !reserveForMessage()) return;
    const QByteArray bytes = socket_->read(std::min(reader_.bytesWanted(), socket_->bytesAvailable()));
    auto outcome = reader_.take(bytes);
    if (const auto* failure = std::get_if<FrameReader::Failure>(&outcome)) {
      fail(*failure);
    } else if (auto* message = std::get_if<FrameReader::Message>(&outcome)) {
      handle(std::move(*message));
    }
  }
}

bool GuestConnection::reserveForMessage() {
  const qint64 needed = std::max<qint64>(0, reader_.announcedBytes() - GuestLimits::ownReadBytes) - reserved_;
  if (needed <= 0) return true;
  if (!pool_->take(needed)) {
    // Read on once another connection's large message is through.
    connect(pool_.get(), &IncomingPool::freed, this, &GuestConnection::readFrames, Qt::UniqueConnection);
    return false;
  }
  disconnect(pool_.get(), &IncomingPool::freed, this, &GuestConnection::readFrames);
  reserved_ += needed;
  return true;
}

void GuestConnection::giveBackReserve() { pool_->giveBack(std::exchange(reserved_, 0)); }

void GuestConnection::handle(FrameReader::Message message) {
  switch (message.opcode) {
    case FrameOpcode::text:
    case FrameOpcode::binary:
      giveBackReserve();
      emit messageReceived(message.payload);
      return;
    case FrameOpcode::ping:
      // Counted and held back with everything else the phone is sent.
      send({{}, std::move(message.payload), {}, Kind::ordinary, FrameOpcode::pong});
      return;
    case FrameOpcode::close:
      closeOnceWritten(CloseCode::normal);
      return;
    default:
      return;  // a pong
  }
}

void GuestConnection::fail(const FrameReader::Failure& failure) {
  sayWhyItEnds(QStringLiteral("is closed for a protocol error: ") + QString::fromUtf8(failure.reason));
  giveBackReserve();
  backlog_.clearWaiting();
  if (!sendClose(failure.closeCode)) return;
  // What the phone still sends of what failed is read and dropped, as closing on unread bytes
  // would reset the connection before the phone has read why; it goes once it has read.
  shutDownSendingWhenWritten();
}

bool GuestConnection::sendClose(quint16 code) {
  if (std::exchange(closing_, true) || ended_) return false;
  writeWaiting(true);
  socket_->write(closeFrame(code));
  // A phone that does not take the rest is dropped.
  startStallCheck();
  return true;
}

void GuestConnection::closeOnceWritten(quint16 code) {
  if (sendClose(code)) socket_->disconnectFromHost();
}

void GuestConnection::shutDownSendingWhenWritten() {
  if (socket_->bytesToWrite() > 0) {
    connect(socket_, &QTcpSocket::bytesWritten, this, &GuestConnection::shutDownSendingWhenWritten,
            Qt::UniqueConnection);
    return;
  }
  // Half closed, so that what the phone still sends is read and dropped rather than answered
  // with a reset that could lose it the close frame.
  ::shutdown(static_cast<int>(socket_->socketDescriptor()), SHUT_WR);
}

bool GuestConnection::behind() { return backlog_.owed(socket_->bytesToWrite()) >= GuestLimits::holdReadingBytes; }

void GuestConnection::writeWaiting(bool all) {
  while (backlog_.hasWaiting() && (all || backlog_.nextGoesNow(socket_->bytesToWrite()))) {
    const auto next = backlog_.takeNext();
    backlog_.handed(next, write(next));
  }
  if (dj_) flushSoon();
  countParties();
}

void GuestConnection::flushSoon() {
  if (socket_->bytesToWrite() == 0 || std::exchange(flushPosted_, true)) return;
  // From the event loop, ahead of the sockets it comes to, not from inside the sender: a write
  // that fails ends the connection at once.
  QMetaObject::invokeMethod(
      this,
      [this] {
        flushPosted_ = false;
        if (!ended_ && socket_->state() == QAbstractSocket::ConnectedState) socket_->flush();
      },
      Qt::QueuedConnection);
}

void GuestConnection::setDJ(bool dj) {
  dj_ = dj;
  parties_->spare(this, dj);
}

void GuestConnection::countParties() {
  if (ended_) return;
  auto held = backlog_.parties(socket_->bytesToWrite());
  const auto queue = systemQueue(*socket_);
  const auto reading = PartiesInFlight::Reading::ofSocket(held.written, queue.unacknowledged, queue.unsent);
  parties_->update(this, std::move(held), reading);
}

void GuestConnection::watchAcknowledgements() {
  if (ended_ || aborted_) return;
  const MonotonicTime now = scheduler_.monotonicNow();
  const qint64 unacknowledged = systemQueue(*socket_).unacknowledged;
  const qint64 acknowledged = backlog_.written(socket_->bytesToWrite()) - unacknowledged;
  if (unacknowledged == 0 || acknowledged != acknowledged_) {
    acknowledged_ = acknowledged;
    lastAcknowledged_ = now;
    return;
  }
  if (secondsBetween(lastAcknowledged_, now) < GuestLimits::silentSeconds) return;
  countParties();
  sayWhyItEnds(QStringLiteral("is let go: nothing it was sent acknowledged for %1 s").arg(GuestLimits::silentSeconds));
  abort();
  socketEnded();
}

qint64 GuestConnection::write(const OutgoingBacklog::Message& message) {
  if (socket_->state() != QAbstractSocket::ConnectedState) return 0;
  const FramePieces pieces{frameHeader(message.opcode, static_cast<quint64>(message.bytes())) + message.head,
                           message.body, message.rest + message.tail};
  // With nothing ahead of it in the socket, a frame no larger than a slice, or any frame of the
  // DJ's, goes to the system at once: no pass of the event loop waits for it, and the socket is
  // not watched for room it does not need.
  const qint64 before = socket_->bytesToWrite();
  const qint64 sent = before == 0 && (dj_ || message.bytes() <= GuestLimits::writeSliceBytes)
                          ? sendNow(*socket_, pieces)
                          : 0;
  // The rest goes to the socket, which keeps references to a large body instead of a copy.
  qint64 taken = sent;
  for (const QByteArray& piece : pieces) {
    const qsizetype from = std::min<qint64>(taken, piece.size());
    taken -= from;
    writeInSlices(*socket_, piece, from);
  }
  return sent + socket_->bytesToWrite() - before;
}

void GuestConnection::startStallCheck() {
  stallCheck_.start([this, self = QPointer<GuestConnection>(this)](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(GuestLimits::stallSeconds, token);
    if (token.isCancelled() || !self) co_return;
    abort();  // no one reads what is left
  });
}

void GuestConnection::expectGreeting(double seconds) {
  greetingDeadline_.start([this, seconds, self = QPointer<GuestConnection>(this)](CancellationToken token) -> QCoro::Task<> {
    co_await scheduler_.sleep(seconds, token);
    if (token.isCancelled() || !self) co_return;
    emit greetingMissed();
  });
}

void GuestConnection::close() { closeOnceWritten(CloseCode::normal); }

void GuestConnection::abort() {
  aborted_ = true;
  acknowledgements_.stop();
  backlog_.clearWaiting();
  socket_->abort();
  parties_->forget(this);
}

void GuestConnection::release() {
  disconnect(this, nullptr, nullptr, nullptr);  // what is still said goes to no one
  released_ = true;
  greetingDeadline_.cancel();
  if (ended_) {
    deleteOnce();
    return;
  }
  closeOnceWritten(CloseCode::normal);
}

void GuestConnection::sayWhyItEnds(const QString& why) {
  if (std::exchange(saidWhy_, true)) return;
  const auto reading = QString::fromStdString(parties_->standing(this).text());
  qCWarning(lcNet, "Guest connection %s %s (%s).", id_.text().c_str(), qUtf8Printable(why), qUtf8Printable(reading));
}

void GuestConnection::sayWhyTheSystemEndedIt() {
  if (closing_ || aborted_ || released_) return;
  switch (socket_->error()) {
    case QAbstractSocket::RemoteHostClosedError:
    case QAbstractSocket::UnknownSocketError:
      return;  // the phone left
    case QAbstractSocket::SocketTimeoutError:  // its probes of the idle connection went unanswered
      sayWhyItEnds(
          QStringLiteral("was ended by the system: nothing acknowledged for %1 s").arg(GuestLimits::silentSeconds));
      return;
    default:
      sayWhyItEnds(QStringLiteral("was ended by the system: ") + socket_->errorString());
  }
}

void GuestConnection::socketEnded() {
  greetingDeadline_.cancel();
  acknowledgements_.stop();
  if (!ended_) sayWhyTheSystemEndedIt();  // while the account still tells how it read
  parties_->forget(this);
  if (std::exchange(ended_, true)) return;
  stallCheck_.cancel();
  giveBackReserve();
  emit ended();
  if (released_) deleteOnce();
}

void GuestConnection::deleteOnce() {
  if (!std::exchange(deleting_, true)) deleteLater();
}

}  // namespace kovali
