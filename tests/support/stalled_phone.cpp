#include "support/stalled_phone.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <QTest>

#include "support/guest_client.h"

namespace kovali {
namespace {

/// A connection's two addresses: `source` and the loopback address of its family at `port`.
struct Ends {
  sockaddr_storage from{};
  sockaddr_storage to{};
  socklen_t length = 0;
};

Ends loopbackEnds(const QHostAddress& source, std::uint16_t port, const QHostAddress& to) {
  Ends ends;
  if (source.protocol() == QAbstractSocket::IPv6Protocol) {
    auto& own = reinterpret_cast<sockaddr_in6&>(ends.from);
    own.sin6_family = AF_INET6;
    const Q_IPV6ADDR bytes = source.toIPv6Address();
    std::memcpy(&own.sin6_addr, &bytes, sizeof own.sin6_addr);
    auto& host = reinterpret_cast<sockaddr_in6&>(ends.to);
    host.sin6_family = AF_INET6;
    host.sin6_port = htons(port);
    host.sin6_addr = in6addr_loopback;
    ends.length = sizeof(sockaddr_in6);
  } else {
    auto& own = reinterpret_cast<sockaddr_in&>(ends.from);
    own.sin_family = AF_INET;
    own.sin_addr.s_addr = htonl(source.toIPv4Address());
    auto& host = reinterpret_cast<sockaddr_in&>(ends.to);
    host.sin_family = AF_INET;
    host.sin_port = htons(port);
    host.sin_addr.s_addr = htonl(to.isNull() ? INADDR_LOOPBACK : to.toIPv4Address());
    ends.length = sizeof(sockaddr_in);
  }
  return ends;
}

}  // namespace

StalledPhone::~StalledPhone() {
  if (fd_ >= 0) ::close(fd_);
}

bool StalledPhone::connectTo(std::uint16_t port, std::uint32_t source) {
  return connectTo(port, QHostAddress(source));
}

bool StalledPhone::connectTo(std::uint16_t port, const QHostAddress& source, const QHostAddress& host) {
  const Ends ends = loopbackEnds(source, port, host);
  fd_ = ::socket(ends.from.ss_family, SOCK_STREAM, 0);
  if (fd_ < 0) return false;
  const int yes = 1;
  if (ends.from.ss_family == AF_INET6) ::setsockopt(fd_, SOL_IP, IP_FREEBIND, &yes, sizeof yes);
  if (::bind(fd_, reinterpret_cast<const sockaddr*>(&ends.from), ends.length) != 0) return false;
  const int small = 4096;  // the system doubles it; the window stays a few kilobytes
  ::setsockopt(fd_, SOL_SOCKET, SO_RCVBUF, &small, sizeof small);
  if (::connect(fd_, reinterpret_cast<const sockaddr*>(&ends.to), ends.length) != 0) return false;

  const std::string request = "GET / HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) +
                              "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                              "Sec-WebSocket-Key: dGhlIHNhbXBsZSBub25jZQ==\r\nSec-WebSocket-Version: 13\r\n\r\n";
  if (::send(fd_, request.data(), request.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(request.size())) return false;

  // The host answers from the event loop, so the answer is read a byte at a time between its turns.
  std::string answer;
  const bool complete = QTest::qWaitFor(
      [&] {
        char byte = 0;
        while (::recv(fd_, &byte, 1, MSG_DONTWAIT) == 1) {
          answer += byte;
          if (answer.ends_with("\r\n\r\n")) return true;
        }
        return false;
      },
      GuestClient::timeoutMs);
  return complete && answer.starts_with("HTTP/1.1 101");
}

void StalledPhone::smallSendBuffer() {
  const int small = 4096;  // the system doubles it
  ::setsockopt(fd_, SOL_SOCKET, SO_SNDBUF, &small, sizeof small);
}

std::string StalledPhone::frameHeader(std::uint64_t length, std::uint8_t first) {
  // A phone's frames are masked; a zero mask leaves the bytes as they are.
  std::string header{static_cast<char>(first)};
  if (length < 126) {
    header += static_cast<char>(0x80 | length);
  } else {
    const int extra = length < 65536 ? 2 : 8;
    header += static_cast<char>(0x80 | (extra == 2 ? 126 : 127));
    for (int i = extra - 1; i >= 0; --i) header += static_cast<char>((length >> (8 * i)) & 0xff);
  }
  header.append(4, '\0');
  return header;
}

bool StalledPhone::sendText(const std::string& text) {
  const std::string frame = frameHeader(text.size()) + text;
  return ::send(fd_, frame.data(), frame.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.size());
}

long StalledPhone::sendSome(std::string_view bytes) {
  const ssize_t sent = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  return sent < 0 ? 0 : static_cast<long>(sent);
}

long StalledPhone::drain(std::size_t most) {
  std::vector<char> buffer(1 << 16);
  long total = 0;
  for (;;) {
    const std::size_t room = std::min(buffer.size(), most - static_cast<std::size_t>(total));
    if (room == 0) return total;
    const ssize_t got = ::recv(fd_, buffer.data(), room, MSG_DONTWAIT);
    if (got > 0) {
      read_.append(buffer.data(), static_cast<std::size_t>(got));
      total += got;
      continue;
    }
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return total;
    return -1;  // closed (0) or reset
  }
}

void StalledPhone::reset() {
  const linger abortive{.l_onoff = 1, .l_linger = 0};
  ::setsockopt(fd_, SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
  ::close(std::exchange(fd_, -1));
}

std::vector<std::string> StalledPhone::messages() const {
  // The host's frames are unmasked; a long message may come as a text frame and continuations.
  std::vector<std::string> complete;
  std::string message;
  std::size_t at = 0;
  const auto byte = [&](std::size_t i) { return static_cast<std::uint64_t>(static_cast<unsigned char>(read_[i])); };
  while (at + 2 <= read_.size()) {
    const bool final = (byte(at) & 0x80) != 0;
    const std::uint64_t opcode = byte(at) & 0x0f;
    std::uint64_t length = byte(at + 1) & 0x7f;
    std::size_t header = 2;
    const std::size_t extra = length == 126 ? 2 : length == 127 ? 8 : 0;
    if (at + header + extra > read_.size()) break;
    if (extra > 0) length = 0;
    for (std::size_t i = 0; i < extra; ++i) length = (length << 8) | byte(at + header + i);
    header += extra;
    if (at + header + length > read_.size()) break;
    if (opcode == 0x1 || opcode == 0x0) message.append(read_, at + header, length);
    if (final && (opcode == 0x1 || opcode == 0x0)) complete.push_back(std::exchange(message, {}));
    at += header + length;
  }
  return complete;
}

void sendFromEach(const std::vector<std::unique_ptr<StalledPhone>>& phones, std::string_view bytes,
                  std::vector<std::size_t>& sent) {
  for (int idle = 0; idle < 10;) {
    long progress = 0;
    for (std::size_t i = 0; i < phones.size(); ++i) {
      const long went = phones[i]->sendSome(bytes.substr(std::min(sent[i], bytes.size())));
      sent[i] += static_cast<std::size_t>(went);
      progress += went;
    }
    QTest::qWait(progress > 0 ? 1 : 20);
    idle = progress > 0 ? 0 : idle + 1;
  }
}

}  // namespace kovali
