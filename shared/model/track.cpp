#include "model/track.h"

#include <cctype>

namespace vinaro {
namespace {

void replaceAll(std::string& text, std::string_view placeholder, const std::string& replacement) {
  for (std::size_t at = text.find(placeholder); at != std::string::npos;
       at = text.find(placeholder, at + replacement.size())) {
    text.replace(at, placeholder.size(), replacement);
  }
}

bool isURLCharacter(unsigned char c) {
  if (std::isalnum(c)) return true;
  static constexpr std::string_view kAllowed = "-._~:/?#[]@!$&'()*+,;=%";
  return kAllowed.find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

bool isValidURL(std::string_view text) {
  if (text.empty()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!isURLCharacter(c)) return false;
    if (c == '%' && (i + 2 >= text.size() || !std::isxdigit(static_cast<unsigned char>(text[i + 1])) ||
                     !std::isxdigit(static_cast<unsigned char>(text[i + 2])))) {
      return false;
    }
  }
  // A colon before any "/", "?" or "#" ends a scheme, which must start with a letter.
  const std::size_t colon = text.find(':');
  const std::size_t pathStart = text.find_first_of("/?#");
  if (colon != std::string_view::npos && (pathStart == std::string_view::npos || colon < pathStart)) {
    const std::string_view scheme = text.substr(0, colon);
    if (scheme.empty() || !std::isalpha(static_cast<unsigned char>(scheme.front()))) return false;
    for (const char c : scheme) {
      if (!std::isalnum(static_cast<unsigned char>(c)) && c != '+' && c != '-' && c != '.') return false;
    }
  }
  return true;
}

std::optional<std::string> fillArtworkTemplate(const std::optional<std::string>& urlTemplate, int width, int height) {
  if (!urlTemplate) return std::nullopt;
  std::string url = *urlTemplate;
  replaceAll(url, "{w}", std::to_string(width));
  replaceAll(url, "{h}", std::to_string(height));
  if (!isValidURL(url)) return std::nullopt;
  return url;
}

std::optional<std::string> Track::artworkURL(int width, int height) const {
  return fillArtworkTemplate(artworkURLTemplate, width, height);
}

std::optional<std::string> PlaylistRef::artworkURL(int width, int height) const {
  return fillArtworkTemplate(artworkURLTemplate, width, height);
}

}  // namespace vinaro
