#include "server/websocket_frames.h"

#include <utility>

#include <QStringDecoder>

namespace kovali {
namespace {

/// Bytes after the first two that hold the length, for a 7-bit length field of `field`.
qint64 extendedLengthBytes(quint8 field) { return field == 126 ? 2 : field == 127 ? 8 : 0; }

bool isValidUTF8(QByteArrayView bytes) {
  QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  const QString decoded = decoder.decode(bytes);
  return !decoder.hasError();
}

/// Whether a phone may send `code` in a close frame: the codes defined for the wire (1004-1006
/// and 1015 only ever describe a close locally), those registered since, and applications' own.
bool isSendableCloseCode(quint16 code) {
  return (code >= 1000 && code <= 1003) || (code >= 1007 && code <= 1014) || (code >= 3000 && code <= 4999);
}

/// The phone's close frame, or why it is one no phone may send.
FrameReader::Outcome closeOutcome(QByteArray payload) {
  using Failure = FrameReader::Failure;
  if (payload.size() == 1) return Failure{CloseCode::protocolError, "A close frame's code is cut short."};
  if (payload.size() >= 2) {
    const auto code = static_cast<quint16>((static_cast<quint8>(payload[0]) << 8) | static_cast<quint8>(payload[1]));
    if (!isSendableCloseCode(code)) return Failure{CloseCode::protocolError, "A close code no phone may send."};
    if (!isValidUTF8(QByteArrayView(payload).sliced(2))) {
      return Failure{CloseCode::invalidText, "A close reason is not UTF-8."};
    }
  }
  return FrameReader::Message{FrameOpcode::close, std::move(payload)};
}

}  // namespace

QByteArray frameHeader(FrameOpcode opcode, quint64 length) {
  QByteArray header(1, static_cast<char>(0x80 | static_cast<quint8>(opcode)));
  int extra = 0;
  if (length < 126) {
    header += static_cast<char>(length);
  } else if (length < 65536) {
    header += static_cast<char>(126);
    extra = 2;
  } else {
    header += static_cast<char>(127);
    extra = 8;
  }
  for (int i = extra - 1; i >= 0; --i) header += static_cast<char>((length >> (8 * i)) & 0xff);
  return header;
}

QByteArray closeFrame(quint16 code) {
  return frameHeader(FrameOpcode::close, 2) + static_cast<char>(code >> 8) + static_cast<char>(code & 0xff);
}

qint64 FrameReader::headerBytesNeeded() const {
  if (header_.size() < 2) return 2;
  return 2 + extendedLengthBytes(static_cast<quint8>(header_[1]) & 0x7f) + 4;  // and the mask
}

qint64 FrameReader::bytesWanted() const {
  return inPayload_ ? payloadLeft_ : headerBytesNeeded() - header_.size();
}

qint64 FrameReader::announcedBytes() const {
  return message_.size() + (inPayload_ && !isControl() ? payloadLeft_ : 0);
}

FrameReader::Outcome FrameReader::take(QByteArrayView bytes) {
  if (!inPayload_) {
    header_.append(bytes);
    if (header_.size() < headerBytesNeeded()) return {};
    return startFrame();
  }
  QByteArray& into = isControl() ? control_ : message_;
  const qsizetype at = into.size();
  into.append(bytes);
  char* const unmasked = into.data();
  for (qsizetype i = at; i < into.size(); ++i) unmasked[i] = static_cast<char>(unmasked[i] ^ mask_[maskAt_++ % 4]);
  payloadLeft_ -= bytes.size();
  return payloadLeft_ == 0 ? finishFrame() : Outcome{};
}

FrameReader::Outcome FrameReader::startFrame() {
  const auto first = static_cast<quint8>(header_[0]);
  const auto second = static_cast<quint8>(header_[1]);
  frameFinal_ = (first & 0x80) != 0;
  frameOpcode_ = static_cast<FrameOpcode>(first & 0x0f);
  if ((first & 0x70) != 0) return Failure{CloseCode::protocolError, "No extension was agreed."};
  if ((second & 0x80) == 0) return Failure{CloseCode::protocolError, "A phone's frames must be masked."};
  quint64 length = second & 0x7f;
  const qint64 extended = extendedLengthBytes(static_cast<quint8>(length));
  if (extended > 0) {
    length = 0;
    for (qint64 i = 0; i < extended; ++i) length = (length << 8) | static_cast<quint8>(header_[2 + i]);
  }
  for (int i = 0; i < 4; ++i) mask_[i] = header_[2 + extended + i];
  switch (frameOpcode_) {
    case FrameOpcode::close:
    case FrameOpcode::ping:
    case FrameOpcode::pong:
      if (!frameFinal_ || length > 125) return Failure{CloseCode::protocolError, "A control frame is too long."};
      control_.clear();
      break;
    case FrameOpcode::continuation:
      if (!messageUnderWay_) return Failure{CloseCode::protocolError, "A continuation without a message."};
      break;
    case FrameOpcode::text:
    case FrameOpcode::binary:
      if (messageUnderWay_) return Failure{CloseCode::protocolError, "A message began inside another."};
      messageUnderWay_ = true;
      messageOpcode_ = frameOpcode_;
      break;
    default:
      return Failure{CloseCode::protocolError, "An unknown frame."};
  }
  if (!isControl() && length > static_cast<quint64>(maxMessageBytes_ - message_.size())) {
    return Failure{CloseCode::tooBig, "The message is too big."};
  }
  header_.clear();
  payloadLeft_ = static_cast<qint64>(length);
  // Held at its size exactly: what the pool granted is what it takes.
  if (!isControl()) message_.reserve(message_.size() + payloadLeft_);
  maskAt_ = 0;
  inPayload_ = true;
  return payloadLeft_ == 0 ? finishFrame() : Outcome{};
}

FrameReader::Outcome FrameReader::finishFrame() {
  inPayload_ = false;
  if (frameOpcode_ == FrameOpcode::close) return closeOutcome(std::exchange(control_, {}));
  if (isControl()) return Message{frameOpcode_, std::exchange(control_, {})};
  if (!frameFinal_) return {};
  messageUnderWay_ = false;
  Message whole{messageOpcode_, std::exchange(message_, {})};
  if (whole.opcode == FrameOpcode::text && !isValidUTF8(whole.payload)) {
    return Failure{CloseCode::invalidText, "A text message is not UTF-8."};
  }
  return whole;
}

}  // namespace kovali
