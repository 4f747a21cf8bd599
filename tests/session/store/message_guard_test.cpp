// One phone's message that fails inside the host must end only that phone's connection.

#include <stdexcept>

#include "session/store/session_store_fixture.h"
#include "support/log_capture.h"

namespace kovali {
namespace {

using vinaro::PartyMode;
using vinaro::SessionState;

TEST_F(SessionStoreTest, AMessageWhoseHandlingThrowsClosesOnlyItsPhoneAndTheOthersKeepTheParty) {
  makeStore();
  startHosting();
  auto amy = join("Amy", "amy-phone");
  auto ben = join("Ben", "ben-phone");
  auto cat = join("Cat", "cat-phone");
  sync(*amy);
  sync(*ben);
  sync(*cat);

  // A fault deep in handling one message, as an `Expected::value()` on an error would be.
  QObject::connect(&store().server(), &HostServer::messageReceived,
                   [](ConnectionID, const vinaro::Envelope<vinaro::Command>& envelope) {
                     if (envelope.id == "boom") throw std::runtime_error("bad variant access");
                   });
  LogCapture log("kovaliapp.net");
  ben->received.clear();
  cat->received.clear();

  amy->sendCommand("boom", Command{Command::Skip{}});  // refused to a guest, so only Amy hears back
  ASSERT_TRUE(amy->waitForDisconnect());
  EXPECT_TRUE(log.hasLineStartingWith("A skip message from guest connection")) << "the type is named";

  // The others hear that Amy left, and the party goes on for them.
  advance(SessionStore::presenceIntervalSeconds);
  ASSERT_TRUE(ben->waitForMessages(1));
  ASSERT_TRUE(cat->waitForMessages(1));
  EXPECT_EQ(payloadAt<SessionState>(*cat, 0).value_or(SessionState{}).participantCount, 2);
  EXPECT_TRUE(ben->isConnected());
  EXPECT_TRUE(cat->isConnected());

  store().performHostAction(vinaro::action::SetMode{PartyMode::suggestion});
  ASSERT_TRUE(ben->waitForMessages(2));
  ASSERT_TRUE(cat->waitForMessages(2));
  EXPECT_EQ(payloadAt<SessionState>(*ben, 1).value_or(SessionState{}).mode, PartyMode::suggestion);
  EXPECT_EQ(store().participants().size(), 2u);
}

}  // namespace
}  // namespace kovali
