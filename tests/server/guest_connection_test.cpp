// Guest connections over loopback with real WebSocket clients.

#include <algorithm>
#include <functional>
#include <memory>
#include <regex>

#include <QElapsedTimer>

#include "server/guest_connection.h"
#include "server/host_server_fixture.h"
#include "server/outgoing_event.h"
#include "support/log_capture.h"
#include "support/stalled_phone.h"

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

  /// Sends the phone events it does not read until it is dropped at the unsent cap.
  void dropAtTheUnsentCap(ConnectionID id) {
    const Event filler{ProtocolError::badRequest(std::string(64 << 10, 'f'))};
    for (int sent = 0; sent < 400 && server->unsentBytes(id); ++sent) {
      server->send(filler, id);
      QCoreApplication::processEvents();
    }
    EXPECT_EQ(server->unsentBytes(id), std::nullopt) << "dropped";
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

/// Sends all of `bytes`, as fast as the host reads; false if it stops taking them.
bool sendAll(StalledPhone& phone, std::string_view bytes) {
  QElapsedTimer waited;
  waited.start();
  while (!bytes.empty() && waited.elapsed() < GuestClient::timeoutMs) {
    bytes.remove_prefix(static_cast<std::size_t>(phone.sendSome(bytes)));
    QCoreApplication::processEvents();
  }
  return bytes.empty();
}

/// A masked frame with the first byte `first` (the final bit and the opcode) carrying `payload`.
std::string frame(std::uint8_t first, const std::string& payload) {
  return StalledPhone::frameHeader(payload.size(), first) + payload;
}
std::string codeBytes(std::uint16_t code) { return {static_cast<char>(code >> 8), static_cast<char>(code & 0xff)}; }
/// The close frame the host answers with `code`.
std::string closeWith(std::uint16_t code) { return "\x88\x02" + codeBytes(code); }

TEST_F(GuestConnectionTest, AnswersEachFrameAsTheProtocolAsksAndFailsTheFramesNoPhoneMaySend) {
  const std::string command = commandMessage("caf\xC3\xA9", pause);
  const std::size_t midCharacter = command.find('\xA9');
  ASSERT_NE(midCharacter, std::string::npos) << command;
  struct Case {
    std::string name;
    std::string sent;    // then a close frame without a code
    std::string answer;  // everything the host writes back
    bool handedOn = false;
  };
  std::vector<Case> cases = {
      {"a close without a code", "", closeWith(1000)},
      {"a ping", frame(0x89, "beat"), "\x8A\x04" + std::string("beat") + closeWith(1000)},
      {"a character over two frames",
       frame(0x01, command.substr(0, midCharacter)) + frame(0x80, command.substr(midCharacter)), closeWith(1000), true},
      {"a close of one byte", frame(0x88, "\x03"), closeWith(1002)},
      {"a close reason that is not UTF-8", frame(0x88, codeBytes(1000) + "bye\xFF"), closeWith(1007)},
      {"an unmasked frame", "\x81\x05hello", closeWith(1002)},
      {"reserved bit 1", frame(0xC1, "a"), closeWith(1002)},
      {"reserved bit 2", frame(0xA1, "a"), closeWith(1002)},
      {"reserved bit 3", frame(0x91, "a"), closeWith(1002)},
      {"a reserved data opcode", frame(0x83, "a"), closeWith(1002)},
      {"a reserved control opcode", frame(0x8B, ""), closeWith(1002)},
      {"a continuation without a message", frame(0x80, command), closeWith(1002)},
      {"a text ending mid-character", frame(0x81, "a\xE2\x82"), closeWith(1007)},
      {"invalid UTF-8 over two frames", frame(0x01, "\xC3") + frame(0x80, "("), closeWith(1007)},
  };
  for (const int code : {1000, 1001, 1003, 1007, 1011, 1012, 1014, 3000, 4999}) {
    cases.push_back({"close code " + std::to_string(code), frame(0x88, codeBytes(code) + "bye"), closeWith(1000)});
  }
  for (const int code : {0, 999, 1004, 1005, 1006, 1015, 1016, 1100, 2000, 2999, 5000, 65535}) {
    cases.push_back({"close code " + std::to_string(code), frame(0x88, codeBytes(code)), closeWith(1002)});
  }
  LogCapture log("kovaliapp.net");
  std::uint32_t source = 0x7F000010;  // an address each, as the host takes a few connections an address
  std::int64_t connection = 0;
  for (const auto& c : cases) {
    const std::size_t before = messages.size();
    StalledPhone phone;
    ASSERT_TRUE(phone.connectTo(port, source++)) << c.name;
    ASSERT_TRUE(sendAll(phone, c.sent + frame(0x88, ""))) << c.name;
    EXPECT_TRUE(QTest::qWaitFor([&] { return phone.drain() < 0; }, GuestClient::timeoutMs)) << c.name << ": closed";
    EXPECT_EQ(phone.bytesRead(), c.answer) << c.name;
    EXPECT_EQ(messages.size() - before, c.handedOn ? 1u : 0u) << c.name;
    const std::string id = ConnectionID{++connection}.text();
    EXPECT_EQ(log.hasLineStartingWith("Guest connection " + id + " is closed for a protocol error: "),
              c.answer.ends_with(closeWith(1002)) || c.answer.ends_with(closeWith(1007)))
        << c.name << testing::PrintToString(log.lines());
  }
}

TEST_F(GuestConnectionTest, TakesAMessageOfOneMebibyteAndClosesAConnectionThatSendsMore) {
  GuestClient largest;
  ASSERT_TRUE(largest.connectTo(port));
  largest.sendText(paddedCommand("LARGEST", HostServer::maxMessageBytes));
  StalledPhone inOneFrame;
  ASSERT_TRUE(inOneFrame.connectTo(port));
  ASSERT_TRUE(sendAll(inOneFrame, StalledPhone::frameHeader(HostServer::maxMessageBytes) +
                                      paddedCommand("ONE-FRAME", HostServer::maxMessageBytes)));
  ASSERT_TRUE(waitForMessages(2));

  std::string wide = commandMessage("WIDE", pause);
  while (wide.size() <= HostServer::maxMessageBytes) wide += "\u754c";  // fewer characters than the limit
  struct TooBig {
    const char* name;
    std::function<void(GuestClient&)> send;
  } cases[] = {
      {"one byte more", [](GuestClient& c) { c.sendBinary(paddedCommand("TOO-BIG", HostServer::maxMessageBytes + 1)); }},
      {"eight mebibytes", [](GuestClient& c) { c.sendBinary(paddedCommand("TOO-BIG", 8u << 20)); }},
      {"three-byte characters in frames", [&](GuestClient& c) { c.sendText(wide); }},
  };
  for (const auto& c : cases) {
    GuestClient phone;
    ASSERT_TRUE(phone.connectTo(port));
    c.send(phone);
    EXPECT_TRUE(phone.waitForDisconnect()) << c.name;
    EXPECT_EQ(phone.socket.closeCode(), QWebSocketProtocol::CloseCodeTooMuchData) << c.name;
  }
  ASSERT_EQ(messages.size(), 2u) << "nothing larger reached the owner";
  EXPECT_EQ(messages[0].second.id, "LARGEST");
  EXPECT_EQ(messages[1].second.id, "ONE-FRAME");
  EXPECT_TRUE(largest.isConnected());
}

TEST_F(GuestConnectionTest, LargeMessagesAreReadOnAfterManyLargeOnesAndAfterPhonesThatLeftMidMessage) {
  const std::string large = paddedCommand("L", HostServer::maxMessageBytes);
  const std::size_t quarter = large.size() / 4;
  std::string inParts;  // four frames of one message
  for (std::size_t at = 0; at < large.size(); at += quarter) {
    const auto part = large.substr(at, quarter);
    const std::uint8_t first = (at == 0 ? 0x01 : 0x00) | (at + quarter >= large.size() ? 0x80 : 0x00);
    inParts += StalledPhone::frameHeader(part.size(), first) + part;
  }
  StalledPhone sender;
  ASSERT_TRUE(sender.connectTo(port));
  const int many = static_cast<int>(GuestLimits::incomingPoolBytes / HostServer::maxMessageBytes) + 16;
  for (int i = 0; i < many; ++i) ASSERT_TRUE(sendAll(sender, inParts)) << i;
  ASSERT_TRUE(waitForMessages(static_cast<std::size_t>(many)));

  // Each leaves with most of a large message read in.
  const std::string whole = StalledPhone::frameHeader(large.size()) + large;
  const std::string_view allButLast = std::string_view(whole).substr(0, whole.size() - 1);
  struct Leaving {
    const char* name;
    int phones;
    std::function<void(StalledPhone&, ConnectionID)> leave;
  } ways[] = {
      {"without a word", many, [](StalledPhone& phone, ConnectionID) { phone.reset(); }},
      {"dropped at the unsent cap", 2, [this](StalledPhone&, ConnectionID id) { dropAtTheUnsentCap(id); }},
  };
  std::int64_t lastID = 1;
  for (const auto& way : ways) {
    for (int i = 0; i < way.phones; ++i) {
      StalledPhone leaving;
      ASSERT_TRUE(leaving.connectTo(port, 0x7F000002 + static_cast<std::uint32_t>(i % 8)));
      leaving.smallSendBuffer();  // what went is what the host took in
      ASSERT_TRUE(sendAll(leaving, allButLast)) << way.name;
      way.leave(leaving, ConnectionID{++lastID});
      ASSERT_TRUE(waitForConnections(1)) << way.name << " " << i;
    }
  }

  // The pool is whole again, and no larger: as many phones as it has shares for are read most of
  // a large message at once, the others wait, and each completed message makes room for theirs.
  const int shares =
      static_cast<int>(GuestLimits::incomingPoolBytes / (HostServer::maxMessageBytes - GuestLimits::ownReadBytes));
  std::vector<std::unique_ptr<StalledPhone>> holders;
  for (int i = 0; i < shares + 3; ++i) {
    holders.push_back(std::make_unique<StalledPhone>());
    ASSERT_TRUE(holders.back()->connectTo(port, 0x7F000020 + static_cast<std::uint32_t>(i % 8))) << i;
    holders.back()->smallSendBuffer();
  }
  std::vector<std::size_t> sent(holders.size(), 0);
  sendFromEach(holders, allButLast, sent);
  EXPECT_EQ(std::ranges::count(sent, allButLast.size()), shares);
  sendFromEach(holders, whole, sent);
  EXPECT_TRUE(waitForMessages(static_cast<std::size_t>(many) + holders.size())) << messages.size();
}

TEST_F(GuestConnectionTest, SendsMessagesAtEachEdgeOfTheFramesLengthForms) {
  GuestClient phone;
  ASSERT_TRUE(phone.connectTo(port));
  ASSERT_TRUE(waitForConnections(1));
  // Sized by what it answers, which the host writes back as it is.
  const auto event = OutgoingEvent::of(Event{Event::RoleChanged{}});
  const std::size_t envelope = static_cast<std::size_t>(event->message(std::string(36, 'I'), "").toUtf8().size());
  const std::size_t sizes[] = {125, 126, 127, 65535, 65536, 65537};
  for (const std::size_t size : sizes) server->send(*event, ConnectionID{1}, std::string(size - envelope, 'r'));
  ASSERT_TRUE(phone.waitForMessages(std::size(sizes)));
  for (std::size_t i = 0; i < std::size(sizes); ++i) {
    EXPECT_EQ(phone.received[i].size(), sizes[i]) << sizes[i];
    EXPECT_TRUE(phone.event(i)) << sizes[i];
  }
  EXPECT_TRUE(phone.isConnected());
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

TEST_F(GuestConnectionTest, WhatTheDJIsSentGoesToTheNetworkAheadOfTheOtherPhonesSockets) {
  GuestClient dj, guest, resigned;
  for (auto* phone : {&dj, &guest, &resigned}) ASSERT_TRUE(phone->connectTo(port));
  ASSERT_TRUE(waitForConnections(3));
  server->setDJ(ConnectionID{1}, true);
  server->setDJ(ConnectionID{3}, true);
  server->setDJ(ConnectionID{3}, false);
  const struct Case {
    const char* name;
    ConnectionID id;
    bool first;
  } cases[] = {
      {"the DJ's", ConnectionID{1}, true},
      {"a guest's", ConnectionID{2}, false},
      {"one that gave up the DJ role", ConnectionID{3}, false},
  };
  // A small message is in the network as soon as it is sent, whoever's phone it is for.
  for (const auto& c : cases) server->send({Event::RoleChanged{}}, c.id);
  for (const auto& c : cases) {
    EXPECT_EQ(server->isDJ(c.id), c.first) << c.name;
    EXPECT_EQ(server->unsentBytes(c.id), 0) << c.name;
  }

  // A message of a mebibyte, all of which the system takes at once here: a socket the loop comes
  // to writes a slice of it a pass, the DJ's all it can. A small one sent behind it waits its turn.
  const std::string text(1 << 20, 'm');
  const Event large{ProtocolError::badRequest(text)};
  for (const auto& c : cases) {
    server->send(large, c.id);
    server->send({Event::RoleChanged{vinaro::Role::dj}}, c.id);
  }
  constexpr int passes = 4;
  for (int pass = 0; pass < passes; ++pass) QCoreApplication::processEvents();
  for (const auto& c : cases) {
    const qint64 unsent = server->unsentBytes(c.id).value_or(-1);
    if (c.first) {
      EXPECT_EQ(unsent, 0) << c.name;
    } else {
      EXPECT_GE(unsent, qint64(text.size()) - passes * GuestLimits::writeSliceBytes) << c.name;
    }
  }
  for (auto* phone : {&dj, &guest, &resigned}) {
    ASSERT_TRUE(phone->waitForMessages(3));
    const auto event = phone->event(1), behind = phone->event(2);
    ASSERT_TRUE(event && behind) << "whole, in their order";
    EXPECT_EQ(std::get<ProtocolError>(event->body.payload).message, text);
    EXPECT_EQ(behind->body, (Event{Event::RoleChanged{vinaro::Role::dj}}));
  }

  // Phones whose network holds little, each reading all that has reached it between passes: the
  // DJ's socket goes ahead on every pass, not only for the message that began it.
  StalledPhone slowDJ, slowGuest;
  ASSERT_TRUE(slowDJ.connectTo(port) && slowGuest.connectTo(port));
  ASSERT_TRUE(waitForConnections(5));
  const ConnectionID djsID{4}, guestsID{5};
  server->setDJ(djsID, true);
  const std::string most(3 << 20, 'm');
  for (int i = 0; i < 2; ++i) server->send(Event{ProtocolError::badRequest(most)}, djsID);
  server->send(Event{ProtocolError::badRequest(most)}, guestsID);
  for (int pass = 0; pass < passes; ++pass) {
    for (auto* phone : {&slowDJ, &slowGuest}) phone->drain();
    QCoreApplication::processEvents();
  }
  EXPECT_EQ(server->unsentBytes(djsID), 0) << "the DJ's two";
  EXPECT_GE(server->unsentBytes(guestsID).value_or(-1), qint64(most.size()) - passes * GuestLimits::writeSliceBytes)
      << "the guest's one";
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

TEST_F(GuestConnectionTest, ReportsAPhoneThatLeavesOnceAndLogsNoEndingForIt) {
  enum class Leaving { closeFrame, socketClosed, reset };
  const struct Case {
    const char* name;
    Leaving leaving;
  } cases[] = {
      {"with a close frame", Leaving::closeFrame},
      {"closing its socket", Leaving::socketClosed},
      {"with a reset", Leaving::reset},
  };
  std::int64_t id = 0;
  for (const auto& c : cases) {
    LogCapture log("kovaliapp.net");
    disconnects.clear();
    GuestClient phone;
    auto plain = std::make_unique<StalledPhone>();
    ASSERT_TRUE(c.leaving == Leaving::closeFrame ? phone.connectTo(port) : plain->connectTo(port)) << c.name;
    ASSERT_TRUE(waitForConnections(1)) << c.name;
    ++id;
    if (c.leaving == Leaving::closeFrame) phone.socket.close();
    if (c.leaving == Leaving::socketClosed) plain.reset();
    if (c.leaving == Leaving::reset) plain->reset();

    ASSERT_TRUE(waitForDisconnects(1)) << c.name;
    EXPECT_EQ(disconnects, std::vector<ConnectionID>{{id}}) << c.name;
    EXPECT_EQ(server->connectionCount(), 0) << c.name;
    server->remove(ConnectionID{id});
    server->close(ConnectionID{id});
    EXPECT_EQ(disconnects.size(), 1u) << c.name;
    const std::string connection = "Guest connection c" + std::to_string(id);
    EXPECT_FALSE(log.hasLineStartingWith(connection + " was ended") || log.hasLineStartingWith(connection + " is "))
        << c.name << ": a phone that leaves is no ending to explain " << testing::PrintToString(log.lines());
  }
}

}  // namespace
}  // namespace kovali
