#pragma once

#include <QByteArray>
#include <string_view>
#include <variant>

namespace kovali {

/// An upgrade request the host does not take: the status to answer, the header lines that go
/// with it, and why, for the log.
struct HandshakeRefusal {
  int status = 400;
  QByteArray headers;
  const char* reason = "";
};

/// The host's "101 Switching Protocols" to a phone's WebSocket upgrade request `head` (through its
/// blank line), or its refusal of a request that is not an HTTP/1.1 version 13 WebSocket upgrade
/// with a host and a 16-byte key.
std::variant<QByteArray, HandshakeRefusal> websocketHandshakeAnswer(std::string_view head);

}  // namespace kovali
