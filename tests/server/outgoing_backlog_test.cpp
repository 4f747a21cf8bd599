// What a connection counts as unsent: its bytes on the wire, with the party's states apart from the rest.

#include <gtest/gtest.h>

#include "server/outgoing_backlog.h"

namespace kovali {
namespace {

using Kind = OutgoingBacklog::Kind;

TEST(OutgoingBacklog, StatesDoNotCountAgainstWhatAPhoneMayLeaveUnreadButAreCounted) {
  OutgoingBacklog backlog;
  const auto message = [](Kind kind, qint64 bytes) {
    return OutgoingBacklog::Message{{}, QByteArray(static_cast<qsizetype>(bytes), 'x'), {}, kind};
  };
  backlog.push(message(Kind::state, 3'000'000));  // a welcome
  backlog.push(message(Kind::ordinary, 1'000));
  backlog.push(message(Kind::latestState, 3'000'000));
  EXPECT_EQ(backlog.unsent(0), 6'001'000);
  EXPECT_EQ(backlog.ordinaryAfterPush(message(Kind::ordinary, 500), 0), 1'500);
  backlog.push(message(Kind::latestState, 2'000'000));
  EXPECT_EQ(backlog.unsent(0), 5'001'000) << "the newer state took the waiting one's place";

  // In the socket, a state stays a state until the socket has written it.
  const auto welcome = backlog.takeNext();
  backlog.handed(welcome.kind, welcome.bytes() + 10);
  EXPECT_EQ(backlog.ordinaryAfterPush(message(Kind::ordinary, 0), welcome.bytes() + 10), 1'000);
  EXPECT_EQ(backlog.ordinaryAfterPush(message(Kind::ordinary, 0), 5), 1'000) << "the socket's last bytes are the state's";

}

}  // namespace
}  // namespace kovali
