#include "platform/library/music_items.h"

#include "model/track.h"
#include "platform/library/artwork_address.h"

namespace kovali {

std::optional<std::string> Artwork::url(int width, int height) const {
  if (!urlTemplate.starts_with('/')) return vinaro::fillArtworkTemplate(urlTemplate, width, height);
  // The library's own art, wherever this host serves it now.
  const auto address = localArtworkAddress();
  if (!address) return std::nullopt;
  return vinaro::fillArtworkTemplate(*address + urlTemplate, width, height);
}

}  // namespace kovali
