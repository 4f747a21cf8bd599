#pragma once

#include <optional>
#include <string_view>

#include <QByteArray>

namespace kovali {

/// The host's "101 Switching Protocols" to a phone's WebSocket upgrade request `head` (through its
/// blank line); nothing for a request that is not a version 13 WebSocket upgrade with a key.
std::optional<QByteArray> websocketHandshakeAnswer(std::string_view head);

}  // namespace kovali
