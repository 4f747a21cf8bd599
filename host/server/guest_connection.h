#pragma once

#include <cstdint>
#include <memory>

#include <QByteArray>
#include <QHostAddress>
#include <QObject>

#include "platform/runtime/cancellable_task.h"
#include "platform/runtime/monotonic_time.h"
#include "platform/runtime/scheduler.h"
#include "server/connection_id.h"
#include "server/guest_limits.h"
#include "server/incoming_pool.h"
#include "server/outgoing_backlog.h"
#include "server/parties_in_flight.h"
#include "server/websocket_frames.h"

class QTcpSocket;

namespace kovali {

/// One phone's WebSocket after its handshake, as the guest server sees it: each complete message,
/// text or binary, arrives as its bytes, and the end of the connection is reported once. The
/// object outlives its table entry until the socket has finished closing, so queued messages still
/// go out; it owns the socket.
///
/// It keeps the one account of what the phone costs the host, under `GuestLimits`: what the phone
/// sends is read a frame at a time, and only while little of what it asked for waits to be sent
/// to it, so that its commands and pings wait in the network rather than here; a message under
/// way holds a small share of its own or, for a large one, draws on the host-wide `IncomingPool`.
/// What waits to be sent is the rest of the frame being written, its newest party and at most
/// `maxUnsentBytes`: a message that would take it further drops the connection at once. The
/// parties its socket holds are counted host-wide in `PartiesInFlight`. A phone that acknowledges
/// none of what it was sent for `silentSeconds` is let go, and an idle one that answers none of
/// the system's probes for as long is let go by the system. Whoever ends the connection, host or
/// system, leaves one line in the log saying why; a phone that leaves, none.
class GuestConnection final : public QObject {
  Q_OBJECT

 public:
  using Kind = OutgoingBacklog::Kind;

  /// Takes over `socket`, whose WebSocket handshake is done; `id` names it in the log.
  /// `scheduler` times the closing.
  GuestConnection(QTcpSocket* socket, ConnectionID id, std::shared_ptr<IncomingPool> pool,
                  std::shared_ptr<PartiesInFlight> parties, Scheduler& scheduler, QObject* parent);
  ~GuestConnection() override;

  /// The address the phone connects from.
  QHostAddress peerAddress() const;

  /// Queues `message` as one frame behind whatever is still unsent (see `OutgoingBacklog` for
  /// states and what goes first). Its body is written to the network as it is, shared with whoever else holds it.
  /// False once the connection has ended, and when the message would take it past
  /// `maxUnsentBytes` beyond its party: then it is dropped and `stalled` reported.
  bool send(OutgoingBacklog::Message message);
  /// What the host keeps for the phone to send: what the socket holds, and what waits here with
  /// the party the waiting states share counted once.
  qint64 unsentBytes() const;
  /// Reports `greetingMissed` unless `greeted` is called within `seconds`.
  void expectGreeting(double seconds);
  void greeted() { greetingDeadline_.cancel(); }
  /// Sends what is queued and then a close frame; the socket goes once all is written, or after
  /// `stallSeconds`.
  void close();
  /// Drops the connection at once, with whatever is unsent.
  void abort();
  /// Logs why the host ends the connection, as "Guest connection c5 " + `why`, with how its phone
  /// was reading; only the first reason given is said.
  void sayWhyItEnds(const QString& why);
  /// Ends all reporting and closes the connection if it is still open; the object deletes itself
  /// once the socket is closed, or after `stallSeconds` when the phone does not take the rest.
  void release();
  /// Tells `PartiesInFlight` which parties this connection holds now and how far its phone has
  /// read; done whenever the socket writes, and by the owner before the old parties are judged.
  void countParties();
  /// Whether the phone is the DJ's: what it is sent goes to the network as it is sent, as much as
  /// the system takes, and the rest in the event loop's next pass, ahead of what the other phones'
  /// sockets write as the loop comes to them; and the old parties' ceiling spares it.
  void setDJ(bool dj);
  bool isDJ() const { return dj_; }

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
  /// Reads frames while the phone is not behind and the message under way has its memory.
  void readFrames();
  /// Takes what the message under way needs of the pool; false, and waits for the pool, when it
  /// cannot now.
  bool reserveForMessage();
  void giveBackReserve();
  void handle(FrameReader::Message message);
  /// Ends the connection with a close frame of `code`, dropping what waits to be sent.
  void fail(const FrameReader::Failure& failure);
  /// Writes what waits and a close frame of `code`; false when the connection is already closing.
  bool sendClose(quint16 code);
  /// The same, and the socket closes once all is written.
  void closeOnceWritten(quint16 code);
  void shutDownSendingWhenWritten();
  /// Much of what the phone asked for is still unsent: it is read no further.
  bool behind();
  /// Hands waiting messages to the socket: what is not a party at once, a party once the socket
  /// has little left; or all of them.
  void writeWaiting(bool all);
  /// Has what the socket holds written to the network from the event loop's next pass.
  void flushSoon();
  /// Writes `message` to the network as one frame; answers how many bytes that handed on, to the
  /// system at once or to the socket.
  qint64 write(const OutgoingBacklog::Message& message);
  void startStallCheck();
  /// Lets the phone go once what it was sent has waited unacknowledged, none of it taken, for
  /// `GuestLimits::silentSeconds`.
  void watchAcknowledgements();
  void socketEnded();
  /// Says why the system ended the connection, unless the phone or the host did.
  void sayWhyTheSystemEndedIt();
  void deleteOnce();

  QTcpSocket* socket_;
  const ConnectionID id_;
  std::shared_ptr<IncomingPool> pool_;
  std::shared_ptr<PartiesInFlight> parties_;
  Scheduler& scheduler_;
  FrameReader reader_{GuestLimits::maxIncomingMessageBytes};
  OutgoingBacklog backlog_;
  qint64 reserved_ = 0;  // taken from the pool for the message under way
  CancellableTask stallCheck_;
  CancellableTask greetingDeadline_;
  RepeatingTimer acknowledgements_;
  qint64 acknowledged_ = 0;  // of what the socket wrote, what the phone had acknowledged when last seen to move
  MonotonicTime lastAcknowledged_;
  bool closing_ = false;  // a close frame went out: what the phone sends is dropped
  bool aborted_ = false;
  bool dj_ = false;
  bool flushPosted_ = false;
  bool saidWhy_ = false;
  bool ended_ = false;
  bool released_ = false;
  bool deleting_ = false;
};

}  // namespace kovali
