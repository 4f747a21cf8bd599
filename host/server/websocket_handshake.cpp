#include "server/websocket_handshake.h"

#include <QCryptographicHash>

#include "server/http_head.h"

namespace kovali {

std::optional<QByteArray> websocketHandshakeAnswer(std::string_view head) {
  const auto lines = headLines(head);
  if (lines.empty() || !lines.front().starts_with("GET ")) return std::nullopt;
  const auto upgrade = headerValue(lines, "Upgrade");
  const auto version = headerValue(lines, "Sec-WebSocket-Version");
  const auto key = headerValue(lines, "Sec-WebSocket-Key");
  if (!upgrade || !equalsIgnoringCase(*upgrade, "websocket") || version != "13" || !key || key->empty()) {
    return std::nullopt;
  }
  // Fixed by the WebSocket protocol: the phone checks that we read its key.
  const QByteArray accept =
      QCryptographicHash::hash(QByteArray(key->data(), static_cast<qsizetype>(key->size())) +
                                   "258EAFA5-E914-47DA-95CA-C5AB0DC85B11",
                               QCryptographicHash::Sha1)
          .toBase64();
  return "HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Accept: " +
         accept + "\r\n\r\n";
}

}  // namespace kovali
