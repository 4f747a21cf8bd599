#pragma once

#include <cstdint>
#include <deque>

#include <QByteArray>

namespace kovali {

/// What one connection has taken to send and the system has not sent yet, counted in the bytes
/// that go on the wire: messages waiting here, and those already handed to the socket until the
/// socket has written them. A newer state that answers nothing takes the place of an older such
/// state that still waits. States are told apart from everything else, so that a party however
/// big never counts against what a phone may leave unread.
class OutgoingBacklog {
 public:
  enum class Kind {
    ordinary,     // an answer, an error or a push: delivered in order, every one
    state,        // a whole party that answers the phone: delivered in order
    latestState,  // a whole party that answers nothing: only the newest unsent one matters
  };

  /// One text message as `head + body + tail`, in UTF-8: a body shared by many phones' messages
  /// is held once.
  struct Message {
    QByteArray head;
    QByteArray body;
    QByteArray tail;
    Kind kind = Kind::ordinary;

    qint64 bytes() const { return head.size() + body.size() + tail.size(); }
  };

  /// Queues `message`; a `latestState` drops an older one that still waits here.
  void push(Message message);
  /// What `push` would leave unsent of messages that are not states, with `socketBacklog` bytes
  /// still in the socket.
  qint64 ordinaryAfterPush(const Message& message, qint64 socketBacklog);

  bool hasWaiting() const { return !waiting_.empty(); }
  /// Takes the next waiting message to hand to the socket.
  Message takeNext();
  /// Records that a message of `kind` went to the socket as `bytes` (its frames included).
  void handed(Kind kind, qint64 bytes);

  /// Everything unsent, with `socketBacklog` bytes still in the socket.
  qint64 unsent(qint64 socketBacklog) const { return socketBacklog + waitingBytes_; }
  /// Forgets every waiting message.
  void clearWaiting();

 private:
  struct Handed {
    qint64 end = 0;  // where the message ends among all bytes handed to the socket
    qint64 bytes = 0;
    bool state = false;
  };

  /// Forgets what the socket has written, given what it still holds.
  void retire(qint64 socketBacklog);
  static bool isState(Kind kind) { return kind != Kind::ordinary; }

  std::deque<Message> waiting_;
  qint64 waitingBytes_ = 0;
  qint64 waitingStateBytes_ = 0;
  std::deque<Handed> handed_;
  qint64 handedTotal_ = 0;
  qint64 handedStateBytes_ = 0;
};

}  // namespace kovali
