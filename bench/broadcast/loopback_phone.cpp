#include "loopback_phone.h"

#include <cstdio>
#include <utility>

namespace kovali {

namespace {

constexpr std::uint8_t kContinuation = 0x0;
constexpr std::uint8_t kText = 0x1;
constexpr std::uint8_t kClose = 0x8;
constexpr std::uint8_t kPing = 0x9;
constexpr std::uint8_t kPong = 0xA;

}  // namespace

QHostAddress LoopbackPhone::address(int group, int index) {
  return QHostAddress((127u << 24) | (static_cast<std::uint32_t>(group + index / 250) << 8) |
                      static_cast<std::uint32_t>(1 + index % 250));
}

LoopbackPhone::LoopbackPhone(QHostAddress source, std::function<void(const QByteArray&)> onText)
    : source_(std::move(source)), onText_(std::move(onText)) {
  connect(&socket_, &QTcpSocket::readyRead, this, &LoopbackPhone::read);
  connect(&socket_, &QTcpSocket::disconnected, this, [this] { dropped_ = true; });
  connect(&socket_, &QTcpSocket::errorOccurred, this, [this] { dropped_ = true; });
}

void LoopbackPhone::open(std::uint16_t port, QByteArray firstText) {
  firstText_ = std::move(firstText);
  connect(&socket_, &QTcpSocket::connected, this, [this, port] {
    socket_.write("GET / HTTP/1.1\r\nHost: 127.0.0.1:" + QByteArray::number(port) +
                  "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                  "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n");
  });
  if (!socket_.bind(source_)) {
    dropped_ = true;
    return;
  }
  socket_.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
}

void LoopbackPhone::sendText(const QByteArray& text) { sendFrame(kText, text); }

void LoopbackPhone::close() {
  if (upgraded_) sendFrame(kClose, {});
  socket_.disconnectFromHost();
}

void LoopbackPhone::read() {
  buffer_ += socket_.readAll();
  if (!upgraded_ && !readHandshake()) return;
  while (takeFrame()) {
  }
}

bool LoopbackPhone::readHandshake() {
  const auto end = buffer_.indexOf("\r\n\r\n");
  if (end < 0) return false;
  if (!buffer_.startsWith("HTTP/1.1 101")) {
    dropped_ = true;
    socket_.abort();
    return false;
  }
  buffer_.remove(0, end + 4);
  upgraded_ = true;
  if (!firstText_.isEmpty()) sendText(std::exchange(firstText_, {}));
  return true;
}

bool LoopbackPhone::takeFrame() {
  if (buffer_.size() < 2) return false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(buffer_.constData());
  const bool final = (bytes[0] & 0x80) != 0;
  const std::uint8_t opcode = bytes[0] & 0x0F;
  std::int64_t length = bytes[1] & 0x7F;
  qsizetype header = 2;
  if (length >= 126) {
    const int extra = length == 126 ? 2 : 8;
    if (buffer_.size() < 2 + extra) return false;
    length = 0;
    for (int i = 0; i < extra; ++i) length = (length << 8) | bytes[2 + i];
    header += extra;
  }
  if (length > maxMessageBytes || message_.size() + length > maxMessageBytes) {
    std::fprintf(stderr, "broadcast_bench: a phone got a message beyond %lld bytes\n",
                 static_cast<long long>(maxMessageBytes));
    socket_.abort();
    return false;
  }
  if (buffer_.size() < header + length) return false;
  const QByteArray payload = buffer_.mid(header, length);
  buffer_.remove(0, header + length);
  if (opcode == kPing) {
    sendFrame(kPong, payload);
  } else if (opcode == kClose) {
    socket_.disconnectFromHost();
  } else if (opcode == kText || opcode == kContinuation) {
    message_ += payload;
    if (final) onText_(std::exchange(message_, {}));
  }
  return true;
}

void LoopbackPhone::sendFrame(std::uint8_t opcode, const QByteArray& payload) {
  QByteArray frame;
  frame.reserve(payload.size() + 14);
  frame += static_cast<char>(0x80 | opcode);
  const auto size = static_cast<std::uint64_t>(payload.size());
  if (size < 126) {
    frame += static_cast<char>(0x80 | size);
  } else if (size <= 0xFFFF) {
    frame += static_cast<char>(0x80 | 126);
    for (int shift = 8; shift >= 0; shift -= 8) frame += static_cast<char>((size >> shift) & 0xFF);
  } else {
    frame += static_cast<char>(0x80 | 127);
    for (int shift = 56; shift >= 0; shift -= 8) frame += static_cast<char>((size >> shift) & 0xFF);
  }
  // A phone's frames are masked; a zero mask leaves the bytes as they are.
  frame.append(4, '\0');
  frame += payload;
  socket_.write(frame);
}

}  // namespace kovali
