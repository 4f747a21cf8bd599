#pragma once

#include <cstdint>
#include <variant>

#include <QByteArray>
#include <QByteArrayView>

namespace kovali {

/// The WebSocket frame kinds a phone and the host exchange.
enum class FrameOpcode : quint8 { continuation = 0x0, text = 0x1, binary = 0x2, close = 0x8, ping = 0x9, pong = 0xA };

/// The header of one whole unmasked frame from the host carrying `length` bytes.
QByteArray frameHeader(FrameOpcode opcode, quint64 length);
/// A whole close frame with `code`.
QByteArray closeFrame(quint16 code);

/// Close codes the host sends.
namespace CloseCode {
constexpr quint16 normal = 1000;
constexpr quint16 protocolError = 1002;
constexpr quint16 invalidText = 1007;
constexpr quint16 tooBig = 1009;
}  // namespace CloseCode

/// A phone's frames, read in as they arrive: every frame masked, as phones must send them; a
/// message in any number of frames, with control frames between them; a close frame with no
/// code, or a code a phone may send and a UTF-8 reason. It never asks for a byte beyond the frame
/// under way, so what it has not asked for waits in the network.
class FrameReader {
 public:
  /// A whole message: text, binary, or a control frame's payload.
  struct Message {
    FrameOpcode opcode = FrameOpcode::text;
    QByteArray payload;
  };
  /// A frame no phone may send: the connection ends with `closeCode`.
  struct Failure {
    quint16 closeCode = CloseCode::protocolError;
    const char* reason = "";
  };
  using Outcome = std::variant<std::monostate, Message, Failure>;

  /// Messages of more than `maxMessageBytes`, counted over all their frames, fail with 1009
  /// as soon as a frame's header announces them.
  explicit FrameReader(qint64 maxMessageBytes) : maxMessageBytes_(maxMessageBytes) {}

  /// How many bytes the reader takes next: the rest of a frame's header or of its payload.
  qint64 bytesWanted() const;
  /// Takes `bytes`, at most `bytesWanted()`: a whole message once its last byte has come, a
  /// failure, or nothing yet. Nothing more may be taken after a failure.
  Outcome take(QByteArrayView bytes);
  /// The bytes the message under way will hold by the end of the frame under way, as far as
  /// its headers have announced: what reading it on costs.
  qint64 announcedBytes() const;

 private:
  qint64 headerBytesNeeded() const;
  Outcome startFrame();
  Outcome finishFrame();
  bool isControl() const { return (static_cast<quint8>(frameOpcode_) & 0x8) != 0; }

  qint64 maxMessageBytes_;
  QByteArray header_;
  qint64 payloadLeft_ = 0;
  bool inPayload_ = false;
  bool frameFinal_ = false;
  FrameOpcode frameOpcode_ = FrameOpcode::continuation;
  char mask_[4] = {};
  qint64 maskAt_ = 0;
  QByteArray control_;
  QByteArray message_;
  bool messageUnderWay_ = false;
  FrameOpcode messageOpcode_ = FrameOpcode::text;
};

}  // namespace kovali
