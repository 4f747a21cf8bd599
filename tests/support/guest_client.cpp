#include "support/guest_client.h"

#include <QTest>
#include <QUrl>

#include "protocol/message_codec.h"

namespace kovali {

GuestClient::GuestClient() {
  QObject::connect(&socket, &QWebSocket::textMessageReceived,
                   [this](const QString& text) { received.push_back(text.toStdString()); });
  QObject::connect(&socket, &QWebSocket::disconnected, [this] { ++disconnects; });
}

bool GuestClient::connectTo(std::uint16_t port) {
  socket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(port)));
  return QTest::qWaitFor([this] { return isConnected(); }, timeoutMs);
}

void GuestClient::sendCommand(const std::string& id, const vinaro::Command& command) {
  sendText(commandMessage(id, command));
}

bool GuestClient::waitForMessages(std::size_t count) {
  return QTest::qWaitFor([&] { return received.size() >= count; }, timeoutMs);
}

bool GuestClient::waitForDisconnect() {
  return QTest::qWaitFor([this] { return disconnects > 0; }, timeoutMs);
}

std::optional<vinaro::Envelope<vinaro::Event>> GuestClient::event(std::size_t index) const {
  if (index >= received.size()) return std::nullopt;
  auto decoded = vinaro::MessageCodec::decode<vinaro::Event>(received[index]);
  if (!decoded) return std::nullopt;
  return std::move(decoded).value();
}

std::string commandMessage(const std::string& id, const vinaro::Command& command) {
  return vinaro::MessageCodec::encode(vinaro::Envelope<vinaro::Command>{.id = id, .body = command});
}

}  // namespace kovali
