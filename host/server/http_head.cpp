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
    const auto colon = lines[i].find(':');
    if (colon != std::string_view::npos && equalsIgnoringCase(trimmed(lines[i].substr(0, colon)), name)) {
      return trimmed(lines[i].substr(colon + 1));
    }
  }
  return std::nullopt;
}

}  // namespace kovali
