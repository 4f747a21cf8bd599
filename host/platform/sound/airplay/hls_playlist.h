#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/expected.h"

namespace kovali {

/// A live HLS media playlist as the stream player reads it: the segments it names, each with
/// its media sequence number, duration and URI.
struct HLSPlaylist {
  struct Segment {
    long long sequence = 0;
    double duration = 0;  // seconds
    std::string uri;

    bool operator==(const Segment&) const = default;
  };

  std::optional<std::string> mapURI;  // the initialization segment
  std::vector<Segment> segments;
  bool ended = false;  // no segment will be added

  /// Reads a media playlist; the error is a sentence for people.
  static vinaro::Expected<HLSPlaylist, std::string> parse(std::string_view text);

  /// Seconds from the start of the first segment listed to the start of segment `sequence`;
  /// nothing when that segment is not listed.
  std::optional<double> offsetOf(long long sequence) const;
  /// Seconds from the start of the first segment listed to the end of the last.
  double duration() const;

  bool operator==(const HLSPlaylist&) const = default;
};

}  // namespace kovali
