#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kovali {

/// The lines of an HTTP request head, up to its blank line, without their line ends.
std::vector<std::string_view> headLines(std::string_view head);
/// The value of the first header called `name` (in any case) among `lines`, trimmed.
std::optional<std::string_view> headerValue(const std::vector<std::string_view>& lines, std::string_view name);
/// The values of every header called `name` among `lines`, trimmed and joined by commas in their
/// order, as HTTP reads a list header sent on several lines; nothing when there is none.
std::optional<std::string> headerList(const std::vector<std::string_view>& lines, std::string_view name);
bool equalsIgnoringCase(std::string_view a, std::string_view b);
/// Whether a header's comma-separated `list` holds `token`, in any case.
bool listHasToken(std::string_view list, std::string_view token);
/// Whether the `Upgrade` headers among `lines` name websocket.
bool upgradesToWebSocket(const std::vector<std::string_view>& lines);

}  // namespace kovali
