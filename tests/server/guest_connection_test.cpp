// Guest connections over loopback with real WebSocket clients.

#include <regex>

#include "server/guest_connection.h"
#include "server/host_server_fixture.h"

namespace kovali {
namespace {

using vinaro::Command;
using vinaro::Event;
using vinaro::ProtocolError;

const Command pause{Command::Pause{}};

class GuestConnectionTest : public HostServerFixture {
 protected:
  void SetUp() override { port = startReady(); }

  /// Answers every command with a role change that replies to it.
  void answerEveryCommand() {
    QObject::disconnect(server.get(), &HostServer::messageReceived, nullptr, nullptr);
    QObject::connect(server.get(), &HostServer::messageReceived,
                     [this](ConnectionID id, const vinaro::Envelope<Command>& envelope) {
                       server->send({Event::RoleChanged{}}, id, envelope.id);
                       messages.emplace_back(id, envelope);
                     });
  }

  std::uint16_t port = 0;
};

ProtocolError::Code errorCode(const vinaro::Envelope<Event>& envelope) {
  const auto* error = std::get_if<ProtocolError>(&envelope.body.payload);
  return error ? error->code : ProtocolError::Code::forbidden;
}

TEST_F(GuestConnectionTest, NamesConnectionsInOrderAndCountsOnAfterARestart) {
  GuestClient first, second;
  ASSERT_TRUE(first.connectTo(port));
  ASSERT_TRUE(waitForConnections(1));
  ASSERT_TRUE(second.connectTo(port));
  ASSERT_TRUE(waitForConnections(2));
  first.sendCommand("A", pause);
  second.sendCommand("B", pause);
  ASSERT_TRUE(waitForMessages(2));
  EXPECT_EQ(messages[0].first.text(), "c1");
  EXPECT_EQ(messages[1].first.text(), "c2");

  server->stop();
  EXPECT_EQ(disconnects, (std::vector<ConnectionID>{{1}, {2}})) << "each reported once, in order";
  EXPECT_EQ(server->connectionCount(), 0);
  EXPECT_TRUE(first.waitForDisconnect());
  EXPECT_TRUE(second.waitForDisconnect());

  const auto newPort = startReady();
  GuestClient third;
  ASSERT_TRUE(third.connectTo(newPort));
  third.sendCommand("C", pause);
  ASSERT_TRUE(waitForMessages(3));
  EXPECT_EQ(messages[2].first.text(), "c3");
  EXPECT_EQ(disconnects.size(), 2u) << "the closed sockets were not reported again";
}

TEST_F(GuestConnectionTest, DecodesTextAndBinaryMessagesAlike) {
  GuestClient phone;
  ASSERT_TRUE(phone.connectTo(port));
  const auto search = Command{Command::Search{"disco", 10, Command::SearchKind::albums}};
  phone.sendText(commandMessage("T1", search));
  phone.sendBinary(commandMessage("B1", pause));
  ASSERT_TRUE(waitForMessages(2));

  EXPECT_EQ(messages[0].second, (vinaro::Envelope<Command>{.id = "T1", .body = search}));
  EXPECT_EQ(messages[1].second, (vinaro::Envelope<Command>{.id = "B1", .body = pause}));
  EXPECT_TRUE(phone.received.empty());
}

TEST_F(GuestConnectionTest, AnswersUndecodableMessagesAndKeepsTheConnection) {
  struct Case {
    const char* name;
    std::string message;
    std::optional<std::string> replyTo;
  } cases[] = {
      {"not JSON", "hello there", std::nullopt},
      {"no envelope", R"({"type":"pause"})", std::nullopt},
      {"unknown command", R"({"v":1,"id":"U1","type":"dance","payload":{}})", "U1"},
      {"bad payload", R"({"v":1,"id":"P1","type":"search","payload":{"query":7}})", "P1"},
  };
  GuestClient phone;
  ASSERT_TRUE(phone.connectTo(port));
  std::size_t answers = 0;
  for (const auto& c : cases) {
    phone.sendText(c.message);
    ASSERT_TRUE(phone.waitForMessages(++answers)) << c.name;
    const auto reply = phone.event(answers - 1);
    ASSERT_TRUE(reply) << c.name << ": " << phone.received.back();
    EXPECT_EQ(errorCode(*reply), ProtocolError::Code::badRequest) << c.name;
    EXPECT_EQ(reply->replyTo, c.replyTo) << c.name;
  }
  EXPECT_NE(phone.received.front().find(R"("replyTo":null)"), std::string::npos) << "replyTo is written as null";

  phone.sendCommand("OK", pause);
  ASSERT_TRUE(waitForMessages(1));
  EXPECT_EQ(messages[0].second.id, "OK");
  EXPECT_TRUE(disconnects.empty());
}

/// A valid command padded with blanks (still valid JSON) to `size` bytes.
std::string paddedCommand(const std::string& id, std::size_t size) {
  auto message = commandMessage(id, pause);
  message.resize(size, ' ');
  return message;
}

TEST_F(GuestConnectionTest, TakesAMessageOfOneMebibyteAndClosesAConnectionThatSendsMore) {
  GuestClient largest;
  ASSERT_TRUE(largest.connectTo(port));
  largest.sendText(paddedCommand("LARGEST", HostServer::maxMessageBytes));
  ASSERT_TRUE(waitForMessages(1));
  EXPECT_EQ(messages[0].second.id, "LARGEST");

  for (const std::size_t size : {std::size_t{HostServer::maxMessageBytes + 1}, std::size_t{8u << 20}}) {
    GuestClient phone;
    ASSERT_TRUE(phone.connectTo(port));
    phone.sendBinary(paddedCommand("TOO-BIG", size));
    EXPECT_TRUE(phone.waitForDisconnect()) << size;
    EXPECT_EQ(phone.socket.closeCode(), QWebSocketProtocol::CloseCodeTooMuchData) << size;
  }
  EXPECT_EQ(messages.size(), 1u) << "nothing larger reached the owner";
  EXPECT_TRUE(largest.isConnected());
}

TEST_F(GuestConnectionTest, RefusesAnotherVersionThenClosesAfterTheAnswer) {
  GuestClient phone;
  ASSERT_TRUE(phone.connectTo(port));
  phone.sendText(R"({"v":2,"id":"V2","replyTo":null,"type":"hello","payload":{}})");

  ASSERT_TRUE(phone.waitForDisconnect());
  ASSERT_EQ(phone.received.size(), 1u) << "the answer arrives before the close";
  const auto reply = phone.event(0);
  ASSERT_TRUE(reply);
  EXPECT_EQ(errorCode(*reply), ProtocolError::Code::unsupportedVersion);
  EXPECT_EQ(reply->replyTo, "V2");
  ASSERT_TRUE(waitForDisconnects(1));
  EXPECT_EQ(disconnects, std::vector<ConnectionID>{{1}});
  QTest::qWait(50);  // any late second report would arrive now
  EXPECT_EQ(disconnects.size(), 1u);
  EXPECT_EQ(server->connectionCount(), 0);
}

TEST_F(GuestConnectionTest, IgnoresAnEmptyMessage) {
  answerEveryCommand();
  GuestClient phone;
  ASSERT_TRUE(phone.connectTo(port));
  phone.sendText("");
  phone.sendBinary("");
  phone.sendCommand("after", pause);

  ASSERT_TRUE(phone.waitForMessages(1));
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(phone.event(0)->replyTo, "after") << "no answer to the empty messages came first";
}

TEST_F(GuestConnectionTest, SendsOneEnvelopeWithAFreshUpperCaseIdAndRunsTheCompletionLater) {
  GuestClient phone;
  ASSERT_TRUE(phone.connectTo(port));
  ASSERT_TRUE(waitForConnections(1));
  int completions = 0;
  server->send({Event::RoleChanged{vinaro::Role::dj}}, ConnectionID{1}, "M7", [&] { ++completions; });
  server->send({Event::RoleChanged{}}, ConnectionID{1});
  EXPECT_EQ(completions, 0) << "the completion runs after the send returns";

  ASSERT_TRUE(phone.waitForMessages(2));
  EXPECT_EQ(completions, 1);
  const auto first = phone.event(0), second = phone.event(1);
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->v, 1);
  EXPECT_EQ(first->replyTo, "M7");
  EXPECT_EQ(first->body, (Event{Event::RoleChanged{vinaro::Role::dj}}));
  EXPECT_EQ(second->replyTo, std::nullopt);
  const std::regex upperCaseUUID("[0-9A-F]{8}-[0-9A-F]{4}-4[0-9A-F]{3}-[89AB][0-9A-F]{3}-[0-9A-F]{12}");
  EXPECT_TRUE(std::regex_match(first->id, upperCaseUUID)) << first->id;
  EXPECT_NE(first->id, second->id);
}

TEST_F(GuestConnectionTest, ForgetsARemovedConnection) {
  GuestClient gone, staying;
  ASSERT_TRUE(gone.connectTo(port));
  ASSERT_TRUE(waitForConnections(1));
  ASSERT_TRUE(staying.connectTo(port));
  ASSERT_TRUE(waitForConnections(2));

  server->remove(ConnectionID{1});
  server->remove(ConnectionID{1});
  EXPECT_EQ(disconnects, std::vector<ConnectionID>{{1}});
  EXPECT_EQ(server->connectionCount(), 1);

  bool goneCompleted = false, stayingCompleted = false;
  server->send({Event::RoleChanged{}}, ConnectionID{1}, std::nullopt, [&] { goneCompleted = true; });
  server->send({Event::RoleChanged{}}, ConnectionID{2}, std::nullopt, [&] { stayingCompleted = true; });
  // Completions run in the order of their sends, so the first one had its chance.
  ASSERT_TRUE(QTest::qWaitFor([&] { return stayingCompleted; }, GuestClient::timeoutMs));
  EXPECT_FALSE(goneCompleted);
  EXPECT_TRUE(gone.waitForDisconnect()) << "a removed connection is not left open unread";
  EXPECT_TRUE(gone.received.empty());
}

TEST_F(GuestConnectionTest, ReportsAPhoneThatLeavesOnce) {
  GuestClient phone;
  ASSERT_TRUE(phone.connectTo(port));
  ASSERT_TRUE(waitForConnections(1));
  phone.socket.close();

  ASSERT_TRUE(waitForDisconnects(1));
  EXPECT_EQ(disconnects, std::vector<ConnectionID>{{1}});
  EXPECT_EQ(server->connectionCount(), 0);
  server->remove(ConnectionID{1});
  server->close(ConnectionID{1});
  EXPECT_EQ(disconnects.size(), 1u);
}

}  // namespace
}  // namespace kovali
