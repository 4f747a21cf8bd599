#pragma once

#include <algorithm>
#include <string>

#include "model/track.h"

namespace kovali {

/// A song as the music library describes one: every field filled, as long as real ones run.
inline vinaro::Track librarySong(int index) {
  const std::string number = std::to_string(index);
  const std::string id = "library-" + std::string(8 - std::min<std::size_t>(8, number.size()), '0') + number;
  // Port 9 is closed on loopback: the party screen's few covers fail at once.
  return {id,
          "Song number " + number + " (Extended Mix)",
          "Artist of the night " + std::to_string(index % 97),
          "An album of the year " + std::to_string(index % 211),
          180.0 + index % 120 + 0.25,
          "http://127.0.0.1:9/artwork/" + id + "?w={w}&h={h}",
          index % 7 == 0};
}

}  // namespace kovali
