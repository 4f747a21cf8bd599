#include "server/artwork_request.h"

#include <algorithm>
#include <charconv>
#include <vector>

#include "server/http_head.h"

namespace kovali {

namespace {

constexpr std::string_view kPrefix = "/artwork/";
constexpr std::size_t kLongestID = 64;

std::optional<int> side(std::string_view digits) {
  if (digits.empty() || digits.size() > 5 || digits.front() == '0') return std::nullopt;
  int value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc() || end != digits.data() + digits.size()) return std::nullopt;
  return std::min(value, ArtworkRequest::maxSide);
}

/// "<id>/<w>x<h>.jpg" into the request; nothing for any other text.
std::optional<ArtworkRequest> artworkAddress(std::string_view rest) {
  const auto slash = rest.find('/');
  if (slash == 0 || slash == std::string_view::npos || slash > kLongestID) return std::nullopt;
  const std::string_view id = rest.substr(0, slash);
  const bool plain = std::all_of(id.begin(), id.end(), [](char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
  });
  std::string_view size = rest.substr(slash + 1);
  if (!plain || !size.ends_with(".jpg")) return std::nullopt;
  size.remove_suffix(4);
  const auto x = size.find('x');
  if (x == std::string_view::npos) return std::nullopt;
  const auto width = side(size.substr(0, x));
  const auto height = side(size.substr(x + 1));
  if (!width || !height) return std::nullopt;
  return ArtworkRequest{std::string(id), *width, *height, false, std::nullopt};
}

}  // namespace

bool isWebSocketUpgrade(std::string_view head) { return upgradesToWebSocket(headLines(head)); }

std::variant<ArtworkRequest, HTTPRefusal> parseArtworkRequest(std::string_view head) {
  const auto lines = headLines(head);
  if (lines.empty()) return HTTPRefusal{400};
  const std::string_view requestLine = lines.front();
  const auto firstSpace = requestLine.find(' ');
  const auto lastSpace = requestLine.rfind(' ');
  if (firstSpace == std::string_view::npos || lastSpace == firstSpace) return HTTPRefusal{400};
  const std::string_view method = requestLine.substr(0, firstSpace);
  const std::string_view target = requestLine.substr(firstSpace + 1, lastSpace - firstSpace - 1);
  if (!requestLine.substr(lastSpace + 1).starts_with("HTTP/1.") || target.empty()) return HTTPRefusal{400};
  if ((method != "GET" && method != "HEAD") || !target.starts_with(kPrefix)) return HTTPRefusal{404};
  auto request = artworkAddress(target.substr(kPrefix.size()));
  if (!request) return HTTPRefusal{404};
  request->headOnly = method == "HEAD";
  if (const auto tag = headerValue(lines, "If-None-Match")) request->ifNoneMatch = std::string(*tag);
  return *request;
}

}  // namespace kovali
