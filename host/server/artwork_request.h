#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace kovali {

/// One request for a picture: `GET` or `HEAD /artwork/<id>/<w>x<h>.jpg`.
struct ArtworkRequest {
  /// The largest side a picture is served at; larger asks are served at this size.
  static constexpr int maxSide = 1024;

  std::string id;
  int width = 0;   // within 1...maxSide
  int height = 0;  // within 1...maxSide
  bool headOnly = false;
  std::optional<std::string> ifNoneMatch;

  bool operator==(const ArtworkRequest&) const = default;
};

/// An HTTP status to answer instead: 400 for a request that is not HTTP, 404 for any other
/// address or method.
struct HTTPRefusal {
  int status = 400;
  bool operator==(const HTTPRefusal&) const = default;
};

/// Whether a request head (through its blank line) asks to become a WebSocket.
bool isWebSocketUpgrade(std::string_view head);

/// Reads a request head (through its blank line). Only letters and digits make an id, so no
/// part of the address can name a file.
std::variant<ArtworkRequest, HTTPRefusal> parseArtworkRequest(std::string_view head);

}  // namespace kovali
