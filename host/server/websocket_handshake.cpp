#include "server/websocket_handshake.h"

#include <QCryptographicHash>

#include "server/http_head.h"

namespace kovali {
namespace {

// Fixed by the WebSocket protocol: the one version there is, and what proves the key was read.
constexpr char kVersion[] = "13";
constexpr char kKeySuffix[] = "258EAFA5-E914-47DA-95CA-C5AB0DC85B11";

/// Whether `key` is the base64 form of 16 bytes, as every phone's nonce is.
bool isWellFormedKey(std::string_view key) {
  if (key.size() != 24) return false;
  const auto decoded = QByteArray::fromBase64Encoding(QByteArray(key.data(), static_cast<qsizetype>(key.size())),
                                                      QByteArray::AbortOnBase64DecodingErrors);
  return decoded.decodingStatus == QByteArray::Base64DecodingStatus::Ok && decoded.decoded.size() == 16;
}

QByteArray acceptValue(std::string_view key) {
  return QCryptographicHash::hash(QByteArray(key.data(), static_cast<qsizetype>(key.size())) + kKeySuffix,
                                  QCryptographicHash::Sha1)
      .toBase64();
}

}  // namespace

std::variant<QByteArray, HandshakeRefusal> websocketHandshakeAnswer(std::string_view head) {
  const auto lines = headLines(head);
  if (lines.empty() || !lines.front().starts_with("GET ") || !lines.front().ends_with(" HTTP/1.1")) {
    return HandshakeRefusal{400, {}, "not an HTTP/1.1 GET"};
  }
  const auto host = headerValue(lines, "Host");
  if (!host || host->empty()) return HandshakeRefusal{400, {}, "no Host"};
  const auto connection = headerList(lines, "Connection");
  if (!upgradesToWebSocket(lines) || !connection || !listHasToken(*connection, "upgrade")) {
    return HandshakeRefusal{400, {}, "no Connection: Upgrade"};
  }
  const auto version = headerValue(lines, "Sec-WebSocket-Version");
  if (!version) return HandshakeRefusal{400, {}, "no version"};
  if (*version != kVersion) {
    // Tells the phone which version to try instead.
    return HandshakeRefusal{426, QByteArray("Upgrade: websocket\r\nSec-WebSocket-Version: ") + kVersion + "\r\n",
                            "another version"};
  }
  const auto key = headerValue(lines, "Sec-WebSocket-Key");
  if (!key || !isWellFormedKey(*key)) return HandshakeRefusal{400, {}, "no 16-byte key"};
  return "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " +
         acceptValue(*key) + "\r\n\r\n";
}

}  // namespace kovali
