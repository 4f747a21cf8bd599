// What a connection keeps to send: the party its waiting states share apart from the rest.

#include <gtest/gtest.h>

#include "server/outgoing_backlog.h"

namespace kovali {
namespace {

using Kind = OutgoingBacklog::Kind;

OutgoingBacklog::Message message(Kind kind, qint64 bytes, qint64 envelope = 0) {
  return {QByteArray(static_cast<qsizetype>(envelope), 'h'), QByteArray(static_cast<qsizetype>(bytes), 'x'), {}, kind};
}

TEST(OutgoingBacklog, WaitingStatesShareTheNewestPartyWhichNeverCountsAgainstWhatAPhoneMayLeaveUnread) {
  OutgoingBacklog backlog;
  backlog.push(message(Kind::state, 3'000'000, 100));  // a welcome
  backlog.push(message(Kind::ordinary, 1'000));
  backlog.push(message(Kind::state, 3'000'000, 100));  // an answer
  backlog.push(message(Kind::latestState, 3'000'000));
  EXPECT_EQ(backlog.kept(0), 3'001'200) << "one party, three envelopes and the rest";
  EXPECT_EQ(backlog.beyondPartyAfterPush(message(Kind::ordinary, 500), 0), 1'700);
  EXPECT_EQ(backlog.beyondPartyAfterPush(message(Kind::state, 9'000'000, 100), 0), 1'300);
  backlog.push(message(Kind::latestState, 2'000'000));
  EXPECT_EQ(backlog.kept(0), 2'001'200) << "the newer party stands in for every waiting one";

  const auto welcome = backlog.takeNext();
  EXPECT_EQ(welcome.body.size(), 2'000'000) << "a newer party answers in the older one's place";
  // In the socket, a state stays a state until the socket has written it.
  backlog.handed(welcome.kind, welcome.bytes() + 10);
  EXPECT_EQ(backlog.beyondPartyAfterPush(message(Kind::ordinary, 0), welcome.bytes() + 10), 1'100);
  EXPECT_EQ(backlog.beyondPartyAfterPush(message(Kind::ordinary, 0), 5), 1'100)
      << "the socket's last bytes are the state's";
  for (int i = 0; i < 3; ++i) backlog.takeNext();
  EXPECT_EQ(backlog.kept(0), 0) << "nothing waits once all went";
}

}  // namespace
}  // namespace kovali
