#include "server/http_head.h"

#include <algorithm>

namespace kovali {
namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

/// The trimmed value of the header `line` when the header is called `name`.
std::optional<std::string_view> valueIfNamed(std::string_view line, std::string_view name) {
  const auto colon = line.find(':');
  if (colon == std::string_view::npos || !equalsIgnoringCase(trimmed(line.substr(0, colon)), name)) {
    return std::nullopt;
  }
  return trimmed(line.substr(colon + 1));
}

}  // namespace

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return lower(x) == lower(y);
         });
}

bool listHasToken(std::string_view list, std::string_view token) {
  while (!list.empty()) {
    const auto comma = std::min(list.find(','), list.size());
    if (equalsIgnoringCase(trimmed(list.substr(0, comma)), token)) return true;
    list.remove_prefix(std::min(comma + 1, list.size()));
  }
  return false;
}

bool upgradesToWebSocket(const std::vector<std::string_view>& lines) {
  const auto upgrade = headerList(lines, "Upgrade");
  return upgrade && listHasToken(*upgrade, "websocket");
}

std::vector<std::string_view> headLines(std::string_view head) {
  std::vector<std::string_view> result;
  while (!head.empty()) {
    const auto end = head.find("\r\n");
    if (end == 0 || end == std::string_view::npos) break;
    result.push_back(head.substr(0, end));
    head.remove_prefix(end + 2);
  }
  return result;
}

std::optional<std::string_view> headerValue(const std::vector<std::string_view>& lines, std::string_view name) {
  for (std::size_t i = 1; i < lines.size(); ++i) {
    if (const auto value = valueIfNamed(lines[i], name)) return value;
  }
  return std::nullopt;
}

std::optional<std::string> headerList(const std::vector<std::string_view>& lines, std::string_view name) {
  std::optional<std::string> list;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const auto value = valueIfNamed(lines[i], name);
    if (!value) continue;
    if (list) {
      *list += ", ";
      *list += *value;
    } else {
      list.emplace(*value);
    }
  }
  return list;
}

}  // namespace kovali
