#pragma once

#include <string>
#include <vector>

#include <QString>

namespace kovali {

/// `text` without white space and line breaks at either end.
inline std::string trimmedText(const std::string& text) {
  return QString::fromStdString(text).trimmed().toStdString();
}

/// The items with `separator` between each two.
inline std::string joinedText(const std::vector<std::string>& items, const std::string& separator) {
  std::string text;
  for (const auto& item : items) text += (text.empty() ? "" : separator) + item;
  return text;
}

}  // namespace kovali
