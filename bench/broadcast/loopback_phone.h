#pragma once

#include <cstdint>
#include <functional>

#include <QByteArray>
#include <QHostAddress>
#include <QTcpSocket>

namespace kovali {

/// Whether `text`, a message from the host, is a welcome: its payload starts with its first key,
/// "participantID", right after the envelope's id.
inline bool isWelcome(const QByteArray& text) { return text.left(100).contains(R"("participantID")"); }

/// A phone of the benchmark: a WebSocket client on a plain TCP socket, so that it can connect
/// from a loopback address of its own (127.0.x.y) as phones on a party's network come from
/// theirs. It sends masked text frames and hands over each whole text message it receives.
class LoopbackPhone final : public QObject {
 public:
  /// Received texts larger than this close the phone: the benchmark's messages are far smaller.
  static constexpr std::int64_t maxMessageBytes = std::int64_t{64} << 20;

  /// The `index`-th phone of a group gets the address 127.0.`group`.`1 + index` (250 a group).
  static QHostAddress address(int group, int index);

  LoopbackPhone(QHostAddress source, std::function<void(const QByteArray&)> onText);

  /// Connects to ws://127.0.0.1:`port`/ and sends `firstText` once the handshake is done.
  void open(std::uint16_t port, QByteArray firstText);
  void sendText(const QByteArray& text);
  /// Leaves as a phone whose app is closed does: a close frame, then the connection ends.
  void close();
  bool isOpen() const { return upgraded_ && socket_.state() == QAbstractSocket::ConnectedState; }
  bool wasDropped() const { return dropped_; }
  /// Why the connection ended, once it has.
  QString dropReason() const { return socket_.errorString(); }

 private:
  void read();
  bool readHandshake();
  /// Takes the next whole frame off the buffer; false when it is not all there yet.
  bool takeFrame();
  void sendFrame(std::uint8_t opcode, const QByteArray& payload);

  QTcpSocket socket_;
  QHostAddress source_;
  std::function<void(const QByteArray&)> onText_;
  QByteArray firstText_;
  QByteArray buffer_;
  QByteArray message_;  // the fragments of a text so far
  bool upgraded_ = false;
  bool dropped_ = false;
};

}  // namespace kovali
