#include "platform/library/music_items.h"

#include "model/track.h"

namespace kovali {

std::optional<std::string> Artwork::url(int width, int height) const {
  return vinaro::fillArtworkTemplate(urlTemplate, width, height);
}

}  // namespace kovali
