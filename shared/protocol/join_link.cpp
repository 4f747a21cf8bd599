#include "protocol/join_link.h"

#include <algorithm>
#include <vector>

#include "model/track.h"
#include "protocol/percent_decoding.h"

namespace vinaro {
namespace {

bool isUnreserved(unsigned char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
         c == '_' || c == '~';
}

std::string percentEncoded(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string encoded;
  encoded.reserve(text.size());
  for (const char character : text) {
    const auto c = static_cast<unsigned char>(character);
    if (isUnreserved(c)) {
      encoded += character;
    } else {
      encoded += '%';
      encoded += kHex[c >> 4];
      encoded += kHex[c & 0xF];
    }
  }
  return encoded;
}

std::string lowercased(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : static_cast<char>(c); });
  return lower;
}

/// The parts of a URL that a join link looks at.
struct URLParts {
  std::string_view scheme;
  std::optional<std::string_view> host;  // nothing without an authority ("//")
  std::string_view query{};
};

std::optional<URLParts> splitURL(std::string_view text) {
  if (!isValidURL(text)) return std::nullopt;
  const std::size_t colon = text.find(':');
  const std::size_t firstDelimiter = text.find_first_of("/?#");
  if (colon == std::string_view::npos || (firstDelimiter != std::string_view::npos && firstDelimiter < colon)) {
    return std::nullopt;  // a relative reference has no scheme
  }
  URLParts parts{.scheme = text.substr(0, colon), .host = std::nullopt};
  std::string_view rest = text.substr(colon + 1);
  rest = rest.substr(0, rest.find('#'));
  if (const std::size_t question = rest.find('?'); question != std::string_view::npos) {
    parts.query = rest.substr(question + 1);
    rest = rest.substr(0, question);
  }
  if (rest.starts_with("//")) {
    std::string_view authority = rest.substr(2);
    authority = authority.substr(0, authority.find('/'));
    if (const std::size_t at = authority.rfind('@'); at != std::string_view::npos) authority.remove_prefix(at + 1);
    const std::size_t hostEnd = authority.starts_with('[') ? authority.find(']') + 1 : authority.find(':');
    parts.host = authority.substr(0, hostEnd);
  }
  return parts;
}

struct QueryItem {
  std::string_view name;
  std::optional<std::string_view> value;  // nothing for an item without "="
};

std::vector<QueryItem> queryItems(std::string_view query) {
  std::vector<QueryItem> items;
  if (query.empty()) return items;
  while (true) {
    const std::size_t end = query.find('&');
    const std::string_view item = query.substr(0, end);
    const std::size_t equals = item.find('=');
    if (equals == std::string_view::npos) {
      items.push_back({item, std::nullopt});
    } else {
      items.push_back({item.substr(0, equals), item.substr(equals + 1)});
    }
    if (end == std::string_view::npos) return items;
    query.remove_prefix(end + 1);
  }
}

/// The decoded value of the first item named exactly `name`, when it has a non-empty one.
std::optional<std::string> firstValue(const std::vector<QueryItem>& items, std::string_view name) {
  const auto item = std::find_if(items.begin(), items.end(), [&](const QueryItem& candidate) {
    return percentDecoded(candidate.name) == std::optional<std::string>(name);
  });
  if (item == items.end() || !item->value) return std::nullopt;
  auto value = percentDecoded(*item->value);
  if (!value || value->empty()) return std::nullopt;
  return value;
}

}  // namespace

std::string JoinLink::url() const {
  return std::string(scheme) + "://" + std::string(linkHost) + "?host=" + percentEncoded(host) +
         "&session=" + percentEncoded(sessionID);
}

std::optional<JoinLink> JoinLink::parse(std::string_view url) {
  const auto parts = splitURL(url);
  if (!parts || lowercased(parts->scheme) != scheme || !parts->host) return std::nullopt;
  const auto decodedHost = percentDecoded(*parts->host);
  if (!decodedHost || lowercased(*decodedHost) != linkHost) return std::nullopt;
  const auto items = queryItems(parts->query);
  auto hostValue = firstValue(items, "host");
  auto sessionValue = firstValue(items, "session");
  if (!hostValue || !sessionValue) return std::nullopt;
  return JoinLink{std::move(*hostValue), std::move(*sessionValue)};
}

}  // namespace vinaro
