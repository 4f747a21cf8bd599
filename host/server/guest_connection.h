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

class QTcpSocket;
class QWebSocket;

namespace kovali {

/// One phone's WebSocket as the guest server sees it: each complete message, text or binary,
/// arrives as its bytes, and the end of the connection is reported once. The object outlives
/// its table entry until the socket has finished closing, so queued messages still go out.
///
/// What the phone has not read yet is bounded: once the socket holds `maxSocketBacklogBytes`,
/// further messages wait here, where a newer state replaces an older one that still waits; a
/// message that would take the unsent bytes past `maxUnsentBytes` drops the connection at once.
class GuestConnection final : public QObject {
  Q_OBJECT

 public:
  /// Beyond this a message is not buffered any further and the socket is closed
  /// (close code 1009); smaller messages are left for the server to judge.
  static constexpr std::uint64_t maxBufferedMessageBytes = 8u << 20;
  /// While the socket holds less than this, messages are handed to it at once.
  static constexpr qint64 maxSocketBacklogBytes = 256 << 10;
  /// Unsent bytes are never above this: a phone that far behind has stopped reading.
  static constexpr qint64 maxUnsentBytes = 4 << 20;
  /// While this much is unsent, nothing more is read from the phone: one that does not read its
  /// answers cannot make more of them, and what it sends waits in the network's buffers.
  static constexpr qint64 holdReadingBytes = maxSocketBacklogBytes;
  /// How long a released connection may take to send what is left.
  static constexpr double stallSeconds = 5;

  /// What a message is to the phone.
  enum class Kind {
    ordinary,     // delivered in order, every one
    latestState,  // a state that answers nothing: only the newest unsent one matters
  };

  /// Takes over `socket`, an accepted WebSocket carried by `transport` (when known, reading is held
  /// through it), and keeps the `listener` that accepted it: a listener takes the network ends of
  /// its sockets with it when it goes. `scheduler` times the stall check.
  GuestConnection(QWebSocket* socket, QTcpSocket* transport, std::shared_ptr<QObject> listener, Scheduler& scheduler,
                  QObject* parent);
  ~GuestConnection() override;

  /// The address the phone connects from.
  QHostAddress peerAddress() const;

  /// Queues `text` as one text message behind whatever is still unsent; a `latestState` message
  /// takes the place of a state still waiting here. False once the connection has ended, and when
  /// `text` would take it past `maxUnsentBytes`: then it is dropped and `stalled` reported.
  bool sendText(const QString& text, Kind kind = Kind::ordinary);
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
  /// A message would have taken the unsent bytes to `unsent`, past `maxUnsentBytes`; the socket
  /// is dropped.
  void stalled(qint64 unsent);
  /// `greeted` did not come in time.
  void greetingMissed();

 private:
  struct Waiting {
    QString text;
    Kind kind;
  };

  /// Hands waiting messages to the socket while it has room, or all of them.
  void writeWaiting(bool all);
  /// Holds reading while the phone is `holdReadingBytes` behind, and takes it up again after.
  void holdReadingWhileBehind();
  void startStallCheck();
  void stallCheckDue();
  void socketEnded();
  void deleteOnce();

  std::shared_ptr<QObject> listener_;
  QWebSocket* socket_;
  QPointer<QTcpSocket> transport_;
  bool readingHeld_ = false;
  Scheduler& scheduler_;
  std::deque<Waiting> waiting_;
  qint64 waitingBytes_ = 0;
  CancellableTask stallCheck_;
  CancellableTask greetingDeadline_;
  bool ended_ = false;
  bool released_ = false;
  bool deleting_ = false;
};

}  // namespace kovali
