#include "audio/stream/stream_request.h"

#include <algorithm>
#include <vector>

namespace kovali::stream_request {

namespace {

/// The non-empty pieces of `text` between separators.
std::vector<std::string_view> pieces(std::string_view text, std::string_view separator) {
  std::vector<std::string_view> found;
  std::size_t start = 0;
  while (start <= text.size()) {
    const auto end = std::min(text.find(separator, start), text.size());
    if (end > start) found.push_back(text.substr(start, end - start));
    start = end + separator.size();
  }
  return found;
}

bool isHTTP1(std::string_view version) {
  return version.size() == 8 && version.substr(0, 7) == "HTTP/1." && version[7] >= '0' && version[7] <= '9';
}

}  // namespace

std::optional<std::size_t> headEnd(std::string_view received, std::size_t from) {
  const auto found = received.find("\r\n\r\n", from);
  if (found == std::string_view::npos) return std::nullopt;
  return found;
}

std::optional<Request> parse(std::string_view head) {
  const auto lines = pieces(head, "\r\n");
  const auto words = pieces(lines.empty() ? std::string_view{} : lines.front(), " ");
  // A line without a version is an HTTP/0.9-style request and is still answered.
  if (words.size() >= 3 && (words.size() > 3 || !isHTTP1(words[2]))) return std::nullopt;
  Request request{words.empty() ? "GET" : std::string(words[0]), words.size() < 2 ? "/" : std::string(words[1])};
  if (const auto parts = pieces(request.path, "?"); !parts.empty()) request.path = std::string(parts.front());
  return request;
}

std::string responseHead(std::string_view status, std::string_view contentType, std::size_t contentLength) {
  std::string text = "HTTP/1.1 ";
  text += status;
  text += "\r\nContent-Type: ";
  text += contentType;
  text += "\r\nContent-Length: " + std::to_string(contentLength);
  text += "\r\nCache-Control: no-cache, no-store\r\nConnection: close\r\n\r\n";
  return text;
}

}  // namespace kovali::stream_request
