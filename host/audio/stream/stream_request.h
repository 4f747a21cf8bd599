#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kovali {

/// The HTTP/1.1 request head of the local stream server, read and answered without Qt so that
/// it can be fuzzed alone.
namespace stream_request {

/// The most a request head may hold; a longer one is never answered.
inline constexpr std::size_t maxHeadBytes = 65536;

/// What the server acts on.
struct Request {
  std::string method;  // "GET" when the request line has none
  std::string path;    // "/" when the request line has none; cut at the first "?"

  bool isHead() const { return method == "HEAD"; }
  bool operator==(const Request&) const = default;
};

/// Where the head ends in what was received so far (the offset of the blank line's CR LF CR LF),
/// searching from `from`; none while it is incomplete.
std::optional<std::size_t> headEnd(std::string_view received, std::size_t from = 0);

/// Reads a complete head (without its blank line). None when the request line names a
/// protocol other than HTTP/1.x: such a request is closed without an answer.
std::optional<Request> parse(std::string_view head);

/// A response's status line and headers, exactly in the order and form the player reads them.
std::string responseHead(std::string_view status, std::string_view contentType, std::size_t contentLength);

}  // namespace stream_request

}  // namespace kovali
