#include "platform/library/artwork_address.h"

#include <mutex>

namespace kovali {

namespace {

constexpr std::string_view kPrefix = "/artwork/";

std::mutex addressLock;
std::optional<std::string> address;

}  // namespace

std::string localArtworkTemplate(std::string_view id) {
  return std::string(kPrefix) + std::string(id) + "/{w}x{h}.jpg";
}

std::optional<std::string> localArtworkAddress() {
  const std::lock_guard lock(addressLock);
  return address;
}

void setLocalArtworkAddress(std::optional<std::string> newAddress) {
  const std::lock_guard lock(addressLock);
  address = std::move(newAddress);
}

std::string rebasedArtworkTemplate(const std::string& artworkTemplate, const std::string& newAddress) {
  constexpr std::string_view scheme = "http://";
  if (!artworkTemplate.starts_with(scheme)) return artworkTemplate;
  const auto path = artworkTemplate.find('/', scheme.size());
  if (path == std::string::npos || artworkTemplate.compare(path, kPrefix.size(), kPrefix) != 0 ||
      !artworkTemplate.ends_with("/{w}x{h}.jpg")) {
    return artworkTemplate;
  }
  return newAddress + artworkTemplate.substr(path);
}

}  // namespace kovali
