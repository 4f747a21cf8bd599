#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "audio/stream/stream_request.h"

namespace kovali::test {

/// The rules every received byte sequence keeps in the stream server's request reading; the
/// first one broken, or none. Shared by the fuzzer and the replay of its inputs.
inline std::optional<std::string> streamRequestInvariantViolation(std::string_view bytes) {
  namespace request = stream_request;
  const auto end = request::headEnd(bytes);
  if (!end)
    return bytes.find("\r\n\r\n") == std::string_view::npos ? std::nullopt
                                                            : std::optional<std::string>("head end missed");
  if (bytes.substr(*end, 4) != "\r\n\r\n" || bytes.substr(0, *end + 4).find("\r\n\r\n") != *end) {
    return "head end misplaced";
  }
  if (*end > 0 && request::headEnd(bytes, *end - 1) != end) return "a later search start found another end";
  const auto head = bytes.substr(0, *end);
  const auto parsed = request::parse(head);
  if (parsed != request::parse(head)) return "parsing is not repeatable";
  if (!parsed) {
    // Only a request line naming a version may be refused: it has at least three words.
    std::size_t start = 0;
    while (head.substr(start, 2) == "\r\n") start += 2;
    if (start >= head.size()) return "refused an empty head";
    const auto line = head.substr(start, head.find("\r\n", start) - start);
    int words = 0;
    for (std::size_t i = 0; i < line.size(); ++i) words += line[i] != ' ' && (i == 0 || line[i - 1] == ' ');
    return words >= 3 ? std::nullopt : std::optional<std::string>("refused a request line of fewer than three words");
  }
  if (parsed->method.empty() || parsed->path.empty()) return "empty method or path";
  if (parsed->method.find(' ') != std::string::npos || parsed->path.find(' ') != std::string::npos) {
    return "a space inside the method or the path";
  }
  if (parsed->path.find('?') != std::string::npos && parsed->path.find_first_not_of('?') != std::string::npos) {
    return "the path kept its query";
  }
  const auto response = request::responseHead("200 OK", "video/mp4", bytes.size());
  if (response.find("\r\nContent-Length: " + std::to_string(bytes.size()) + "\r\n") == std::string::npos ||
      request::headEnd(response) != response.size() - 4) {
    return "response head malformed";
  }
  return std::nullopt;
}

}  // namespace kovali::test
