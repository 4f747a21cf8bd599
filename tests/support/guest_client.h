#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include <QWebSocket>

#include "protocol/command.h"
#include "protocol/envelope.h"
#include "protocol/event.h"

namespace kovali {

/// A phone on loopback: a real WebSocket client that keeps every message the host sends.
/// The waits run the event loop and give up after a generous time, so a fault fails a test
/// instead of hanging it; they never measure anything.
class GuestClient {
 public:
  static constexpr int timeoutMs = 10'000;

  GuestClient();

  /// Opens ws://127.0.0.1:`port` and waits until the handshake is done.
  [[nodiscard]] bool connectTo(std::uint16_t port);

  void sendText(const std::string& text) { socket.sendTextMessage(QString::fromStdString(text)); }
  void sendBinary(const std::string& bytes) { socket.sendBinaryMessage(QByteArray::fromStdString(bytes)); }
  /// Sends `command` as one text message with the envelope id `id`.
  void sendCommand(const std::string& id, const vinaro::Command& command);

  [[nodiscard]] bool waitForMessages(std::size_t count);
  [[nodiscard]] bool waitForDisconnect();
  bool isConnected() const { return socket.state() == QAbstractSocket::ConnectedState; }

  /// Message `index` decoded as an event envelope, or none when it does not decode.
  std::optional<vinaro::Envelope<vinaro::Event>> event(std::size_t index) const;

  QWebSocket socket;
  std::vector<std::string> received;  // every text message, in order
  int disconnects = 0;
};

/// The wire form of `command` in an envelope with id `id`.
std::string commandMessage(const std::string& id, const vinaro::Command& command);

}  // namespace kovali
