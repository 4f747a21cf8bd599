#pragma once

#include <cstdint>
#include <deque>
#include <memory>

#include <QByteArray>
#include <QHostAddress>
#include <QString>
#include <QObject>
#include <QPointer>

#include "platform/runtime/cancellable_task.h"
#include "platform/runtime/scheduler.h"
#include "server/incoming_pool.h"
#include "server/outgoing_backlog.h"

class QTcpSocket;
class QWebSocket;

namespace kovali {

/// One phone's WebSocket as the guest server sees it: each complete message, text or binary,
/// arrives as its bytes, and the end of the connection is reported once. The object outlives
/// its table entry until the socket has finished closing, so queued messages still go out; it
/// owns the socket's network end and lets it go with it.
///
/// What the phone has not read yet is bounded: once the socket holds `maxSocketBacklogBytes`,
/// further messages wait here, where a newer state replaces an older one that still waits; a
/// message that would take what is unsent beyond the party's states past `maxUnsentBytes` drops
/// the connection at once. What the phone sends is bounded as well: a message of at most
/// `maxIncomingMessageBytes`, held in a small share of memory of its own or, for a large one, in
/// the host-wide `IncomingPool`.
class GuestConnection final : public QObject {
  Q_OBJECT

 public:
  using Kind = OutgoingBacklog::Kind;

  /// The largest message a phone may send; a larger one closes the connection (close code 1009).
  static constexpr qint64 maxIncomingMessageBytes = 1 << 20;
  /// What a connection reads in before it needs the pool: more than any ordinary command.
  static constexpr qint64 ownReadBytes = 16 << 10;
  /// While the socket holds less than this, messages are handed to it at once.
  static constexpr qint64 maxSocketBacklogBytes = 256 << 10;
  /// Unsent bytes other than the party's states are never above this: a phone that far behind
  /// has stopped reading.
  static constexpr qint64 maxUnsentBytes = 4 << 20;
  /// While this much is unsent, the phone's messages are kept unanswered until it catches up, so
  /// one that does not read its answers cannot make more of them: this bounds the states that
  /// answer it, which the cap does not count.
  static constexpr qint64 holdReadingBytes = maxSocketBacklogBytes;
  /// Messages kept that way; past them nothing more is read from the phone.
  static constexpr std::size_t maxHeldMessages = 16;
  /// How long a released connection may take to send what is left.
  static constexpr double stallSeconds = 5;

  /// Takes over `socket`, an accepted WebSocket, and `transport`, its network end (when known,
  /// what is read in is bounded through it), and keeps the `listener` that accepted it: a listener
  /// takes the network ends of its sockets with it when it goes. `scheduler` times the stall check.
  GuestConnection(QWebSocket* socket, QTcpSocket* transport, std::shared_ptr<QObject> listener,
                  std::shared_ptr<IncomingPool> pool, Scheduler& scheduler, QObject* parent);
  ~GuestConnection() override;

  /// The address the phone connects from.
  QHostAddress peerAddress() const;

  /// Queues `message` as one text message behind whatever is still unsent; a `latestState`
  /// message takes the place of a state still waiting here. Its body is written to the network as
  /// it is, shared with whoever else holds it. False once the connection has ended, and when the
  /// message would take it past `maxUnsentBytes`: then it is dropped and `stalled` reported.
  bool send(OutgoingBacklog::Message message);
  /// Bytes handed to this connection that the system has not taken yet.
  qint64 unsentBytes() const;
  /// Reports `greetingMissed` unless `greeted` is called within `seconds`.
  void expectGreeting(double seconds);
  void greeted() { greetingDeadline_.cancel(); }
  /// Starts the closing handshake behind whatever is queued.
  void close();
  /// Drops the connection at once, with whatever is unsent.
  void abort();
  /// Ends all reporting and closes the socket if it is still open; the object deletes itself
  /// once the socket is closed, or after `stallSeconds` when the phone does not take the rest.
  void release();

 signals:
  /// One complete message from the phone.
  void messageReceived(const QByteArray& bytes);
  /// The socket has closed; reported once, and never after `release`.
  void ended();
  /// A message would have left `unsent` bytes unsent, past the bounds; the socket is dropped.
  void stalled(qint64 unsent);
  /// `greeted` did not come in time.
  void greetingMissed();

 private:
  /// Hands waiting messages to the socket while it has room, or all of them.
  void writeWaiting(bool all);
  /// Writes `message` to the network as one frame.
  void write(const OutgoingBacklog::Message& message);
  bool behind() const { return unsentBytes() >= holdReadingBytes; }
  /// Hands a message on at once, or keeps it while the phone is behind on reading.
  void received(const QByteArray& bytes);
  /// Hands on the messages kept while the phone was behind, as far as it has caught up.
  void handOnHeld();
  /// Counts a part of a message still arriving against the pool; false when the pool is spent.
  bool holdPart(qint64 bytes);
  void releaseParts();
  /// Lets the network end read in a frame larger than it holds, as far as the pool allows.
  void growReadRoomWhenFull();
  void setReadRoom(qint64 bytes);
  void startStallCheck();
  void stallCheckDue();
  void socketEnded();
  void deleteOnce();

  std::shared_ptr<QObject> listener_;
  QWebSocket* socket_;
  QPointer<QTcpSocket> transport_;
  std::shared_ptr<IncomingPool> pool_;
  Scheduler& scheduler_;
  OutgoingBacklog backlog_;
  std::deque<QByteArray> held_;
  qint64 readGrant_ = 0;  // taken from the pool for the network end's read room
  qint64 partBytes_ = 0;  // of a message whose frames are still arriving, as the library keeps them
  qint64 partGrant_ = 0;
  CancellableTask stallCheck_;
  CancellableTask greetingDeadline_;
  bool ended_ = false;
  bool released_ = false;
  bool deleting_ = false;
};

}  // namespace kovali
