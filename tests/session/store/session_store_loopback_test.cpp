// Two phones on loopback through a whole evening: greeting, a refused DJ command, the PIN, a
// change that reaches both, the saved session, and a relaunch that brings it all back.

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "session/store/session_store_fixture.h"

namespace kovali {
namespace {

using vinaro::PartyMode;
using vinaro::Role;
using vinaro::SessionState;

QJsonObject savedSession(const SessionArchive& archive) {
  QFile file(archive.filePath());
  if (!file.open(QIODevice::ReadOnly)) return {};
  return QJsonDocument::fromJson(file.readAll()).object();
}

TEST_F(SessionStoreTest, TwoPhonesGreetBecomeDJWithTheLaunchPINChangeThePartyAndComeBackAfterARelaunch) {
  launchArguments << "-djPIN"
                  << "2468";
  setPIN("1111");  // the launch argument wins over the keychain
  makeStore();
  startHosting();
  const std::string sessionID = store().state().sessionID;

  // Both greet: each gets its welcome, and the one already there a state with the newcomer.
  auto a = join("Zed", "zeta-phone");
  auto b = join("Amy", "alpha-phone");
  advance(SessionStore::presenceIntervalSeconds);  // joins so close together are told together
  sync(*a);
  sync(*b);
  ASSERT_EQ(types(*a), (std::vector<std::string>{"welcome", "state"}));
  ASSERT_EQ(types(*b), (std::vector<std::string>{"welcome"}));
  const auto welcomeA = eventAt(*a, 0);
  EXPECT_EQ(welcomeA.replyTo, "hello-zeta-phone");
  const auto* welcomedA = payload<Event::Welcome>(welcomeA);
  ASSERT_TRUE(welcomedA);
  EXPECT_EQ(welcomedA->participantID, store().participantID("zeta-phone"));
  EXPECT_EQ(welcomedA->role, Role::guest);
  const auto seenByA = payloadAt<SessionState>(*a, 1);
  ASSERT_TRUE(seenByA);
  EXPECT_EQ(seenByA->participantCount, 2);
  EXPECT_EQ(eventAt(*a, 1).replyTo, std::nullopt);
  a->received.clear();
  b->received.clear();

  // A guest may not change the mode.
  a->sendCommand("mode-1", Command{Command::SetMode{PartyMode::suggestion}});
  ASSERT_TRUE(a->waitForMessages(1));
  const auto refusal = eventAt(*a, 0);
  EXPECT_EQ(refusal.replyTo, "mode-1");
  const auto* refused = payload<vinaro::ProtocolError>(refusal);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->code, vinaro::ProtocolError::Code::forbidden);
  a->received.clear();

  // The PIN: role change (answering), the phone's own state, then the broadcast to everyone.
  a->sendCommand("pin-1", Command{Command::AuthenticateDJ{"2468"}});
  ASSERT_TRUE(a->waitForMessages(3));
  sync(*b);
  ASSERT_EQ(types(*a), (std::vector<std::string>{"roleChanged", "state", "state"}));
  EXPECT_EQ(eventAt(*a, 0).replyTo, "pin-1");
  EXPECT_EQ(payloadAt<Event::RoleChanged>(*a, 0).value_or(Event::RoleChanged{}).role, Role::dj);
  EXPECT_EQ(eventAt(*a, 1).replyTo, std::nullopt);
  EXPECT_EQ(eventAt(*a, 2).replyTo, std::nullopt);
  const auto broadcastToA = payloadAt<SessionState>(*a, 2);
  ASSERT_TRUE(broadcastToA && broadcastToA->partygoers);
  EXPECT_EQ(broadcastToA->partygoers->at(1),
            (vinaro::Participant{store().participantID("zeta-phone"), "Zed", Role::dj}));
  EXPECT_EQ(types(*b), (std::vector<std::string>{"state"}));
  a->received.clear();
  b->received.clear();

  // Now the mode change reaches both, answering only A's command.
  a->sendCommand("mode-2", Command{Command::SetMode{PartyMode::suggestion}});
  ASSERT_TRUE(a->waitForMessages(1));
  ASSERT_TRUE(b->waitForMessages(1));
  EXPECT_EQ(eventAt(*a, 0).replyTo, "mode-2");
  EXPECT_EQ(eventAt(*b, 0).replyTo, std::nullopt);
  const auto seenByB = payloadAt<SessionState>(*b, 0);
  ASSERT_TRUE(seenByB);
  EXPECT_EQ(seenByB->mode, PartyMode::suggestion);

  // B becomes DJ too; the file lists both devices in order.
  b->sendCommand("pin-2", Command{Command::AuthenticateDJ{"2468"}});
  ASSERT_TRUE(b->waitForMessages(4));
  const auto saved = savedSession(*store().archive());
  EXPECT_EQ(saved.value("djDeviceIDs").toArray(), (QJsonArray{"alpha-phone", "zeta-phone"}));
  EXPECT_EQ(saved.value("state").toObject().value("mode").toString(), "suggestion");
  const auto revision = store().state().revision;

  // A relaunch: the same party, one revision on, and A is DJ again without a PIN.
  a.reset();
  b.reset();
  dropStore();
  server->stop();
  makeStore();
  EXPECT_EQ(store().state().sessionID, sessionID);
  EXPECT_EQ(store().state().mode, PartyMode::suggestion);
  EXPECT_EQ(store().state().revision, revision + 1);
  EXPECT_EQ(store().djDeviceIDs(), (SessionStore::DeviceIDs{"alpha-phone", "zeta-phone"}));
  startHosting();
  auto again = join("Zed", "zeta-phone");
  const auto welcome = payloadAt<Event::Welcome>(*again, 0);
  ASSERT_TRUE(welcome);
  EXPECT_EQ(welcome->role, Role::dj);
  EXPECT_EQ(welcome->state.sessionID, sessionID);
}

TEST_F(SessionStoreTest, APartyOfTenThousandSongsReachesEveryPhoneAndIsJoinedAgainAfterARelaunch) {
  makeStore();
  startHosting();
  auto a = join("Zed", "zeta-phone");
  auto b = join("Amy", "alpha-phone");
  queueWireSizedSongs(10'000);
  ASSERT_EQ(store().state().queue.size(), 10'000u);
  advance(SessionStore::presenceIntervalSeconds);
  for (auto* phone : {a.get(), b.get()}) {
    sync(*phone);
    ASSERT_FALSE(phone->received.empty());
    const auto state = payloadAt<SessionState>(*phone, phone->received.size() - 1);
    ASSERT_TRUE(state);
    EXPECT_EQ(state->queue.size(), 10'000u);
    EXPECT_GT(phone->received.back().size(), std::size_t{4} << 20) << "a state larger than the unsent cap";
    EXPECT_TRUE(phone->isConnected());
  }

  a.reset();
  b.reset();
  dropStore();
  server->stop();
  makeStore();
  startHosting();
  auto again = join("Zed", "zeta-phone");
  const auto welcome = payloadAt<Event::Welcome>(*again, 0);
  ASSERT_TRUE(welcome);
  EXPECT_EQ(welcome->state.queue.size(), 10'000u);
  EXPECT_TRUE(again->isConnected());
}

}  // namespace
}  // namespace kovali
