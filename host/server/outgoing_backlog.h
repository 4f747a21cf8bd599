#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <vector>

#include <QByteArray>

#include "server/websocket_frames.h"

namespace kovali {

/// What one connection has taken to send and the system has not sent yet: messages waiting here,
/// and those already handed to the socket until the socket has written them. Every whole party
/// still waiting carries the newest one (a newer party stands in for an older one, answer or not),
/// so they all hold one copy; and a newer state that answers nothing takes the place of an older
/// such state. States are told apart from everything else, so that a party however big never
/// counts against what a phone may leave unread; and what the phone asked for is told apart from
/// the parties pushed to it, so that it goes first and alone decides whether the phone is behind.
/// A phone behind that finishes its party takes the one that stood when the time it shares
/// began (a second, longer for a large party), as does every other phone behind, so that the
/// versions they hold grow with neither their number nor the party's size.
class OutgoingBacklog {
 public:
  enum class Kind {
    ordinary,     // an answer, an error, a push or a control frame: delivered in order, every one
    state,        // a whole party that answers the phone: delivered in order
    latestState,  // a whole party that answers nothing: only the newest unsent one matters
  };

  /// One message as `head + body + rest + tail`, the bytes of one frame: a body shared by many
  /// phones' messages is held once, and a state's `body + rest` is the party alone, its body the
  /// part every view of it shares.
  struct Message {
    QByteArray head;
    QByteArray body;
    QByteArray tail;
    Kind kind = Kind::ordinary;
    FrameOpcode opcode = FrameOpcode::text;
    QByteArray rest{};  // of a state's party, what follows the part its views share

    qint64 bytes() const { return head.size() + body.size() + rest.size() + tail.size(); }
    qint64 partyBytes() const { return body.size() + rest.size(); }
  };

  /// Queues `message`, pushed at `seconds` of the host's clock; a state gives its party to every
  /// state still waiting, and a `latestState` drops an older one that still waits here, but for
  /// the last one pushed before the shared time began (see `sharedSince`), which stays to be taken
  /// first (a phone that keeps up never has one waiting).
  void push(Message message, double seconds = 0);
  /// When the time began, in whole seconds of the host's clock, in which the phones behind at
  /// `seconds` share one version of a party of `bytes`: `GuestLimits::shareVersionSeconds`, longer
  /// for a party of which a slow crowd would otherwise hold more than `oldPartiesBytes`.
  static std::int64_t sharedSince(qint64 bytes, double seconds);
  /// What would wait beyond the newest party after `push(message)`, with `socketBacklog` bytes
  /// still in the socket.
  qint64 beyondPartyAfterPush(const Message& message, qint64 socketBacklog);

  bool hasWaiting() const { return !waiting_.empty(); }
  /// The kind of message `takeNext` would take.
  Kind nextKind() const;
  /// Whether the message `takeNext` would take may go to the socket now, with `socketBacklog`
  /// bytes still in it: anything but a party at once, a party once the socket holds less than
  /// `GuestLimits::partyHandOffBytes`, so that what the phone asks for meanwhile goes ahead of it.
  bool nextGoesNow(qint64 socketBacklog) const;
  /// Takes the next waiting message to hand to the socket: the oldest one the phone is owed, or
  /// else the party pushed to it, the one kept from an earlier second first. A state that answers
  /// takes the pushed parties along, as it carries the newest.
  Message takeNext();
  /// Records that `message` went to the socket as `bytes` (its frame's header included).
  void handed(const Message& message, qint64 bytes);

  /// What the host keeps for the phone, with `socketBacklog` bytes still in the socket: the party
  /// the waiting states share is counted once.
  qint64 kept(qint64 socketBacklog) const {
    return socketBacklog + waitingBeyondParty_ + waitingParty_ + (settled_ ? settled_->bytes() : 0);
  }
  /// What the phone made the host owe and has not been sent, with `socketBacklog` bytes still in
  /// the socket: everything but the parties pushed to it.
  qint64 owed(qint64 socketBacklog);
  struct InSocket {
    QByteArray party;
    qint64 end = 0;  // what the socket will have written in all once it has written the party's frame
  };
  struct Parties {
    std::vector<InSocket> inSocket;  // whose frames the socket still holds, some of each written
    QByteArray newest;               // the one waiting, else the socket's last; none when neither
    qint64 written = 0;              // what the socket has written in all
  };
  /// What the socket has written of the messages handed to it, with `socketBacklog` bytes still in it.
  qint64 written(qint64 socketBacklog) const { return handedTotal_ - socketBacklog; }
  /// The parties the connection holds, with `socketBacklog` bytes still in the socket.
  Parties parties(qint64 socketBacklog);
  /// Forgets every waiting message.
  void clearWaiting();

 private:
  struct Handed {
    qint64 end = 0;  // where the message ends among all bytes handed to the socket
    qint64 bytes = 0;
    Kind kind = Kind::ordinary;
    QByteArray party;  // a state's, which the socket shares until it has written it
  };

  /// Forgets what the socket has written, given what it still holds; answers how much of the
  /// oldest message still held is written.
  qint64 retire(qint64 socketBacklog);
  /// What the socket still holds of the messages that `handedBytes` counts, those of `kinds`.
  qint64 inSocket(qint64 socketBacklog, qint64 OutgoingBacklog::*handedBytes, bool (*kinds)(Kind));
  static bool isState(Kind kind) { return kind != Kind::ordinary; }
  static bool isOwed(Kind kind) { return kind != Kind::latestState; }
  /// What `message` adds beside the party the waiting states share.
  static qint64 beyondParty(const Message& message) {
    return isState(message.kind) ? message.bytes() - message.partyBytes() : message.bytes();
  }
  /// Where the message to hand on next waits.
  template <class Waiting>
  static auto nextIn(Waiting& waiting);
  void forget(const Message& message);
  /// The party that answers nothing, if one waits (at most one does).
  std::deque<Message>::const_iterator waitingPushedParty() const;
  /// Drops the party that answers nothing, if one waits: a newer party stands in for it.
  void dropWaitingPushedParty();
  /// Keeps the pushed party waiting aside when it was pushed before the time shared since `since`.
  void settleWaitingPushedParty(std::int64_t since);

  std::deque<Message> waiting_;
  qint64 waitingBeyondParty_ = 0;
  qint64 waitingParty_ = 0;  // the newest party, while a state waits
  int waitingStates_ = 0;
  std::int64_t pushedSince_ = 0;    // the shared time the pushed party waiting was pushed in
  std::optional<Message> settled_;  // the last party pushed in a shared time gone by, while a newer one waits
  std::deque<Handed> handed_;
  qint64 handedTotal_ = 0;
  qint64 handedStateBytes_ = 0;
  qint64 handedOwedBytes_ = 0;
};

}  // namespace kovali
