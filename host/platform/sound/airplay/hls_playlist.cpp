#include "platform/sound/airplay/hls_playlist.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace kovali {

namespace {

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && (text.back() == '\r' || text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  return text;
}

bool startsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

template <class Number>
std::optional<Number> numberAt(std::string_view text) {
  Number value{};
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc{}) return std::nullopt;
  return value;
}

/// The value of the quoted URI attribute in an attribute list, such as URI="init.mp4".
std::optional<std::string> quotedURI(std::string_view attributes) {
  const auto at = attributes.find("URI=\"");
  if (at == std::string_view::npos) return std::nullopt;
  const auto start = at + 5;
  const auto end = attributes.find('"', start);
  if (end == std::string_view::npos || end == start) return std::nullopt;
  return std::string(attributes.substr(start, end - start));
}

}  // namespace

vinaro::Expected<HLSPlaylist, std::string> HLSPlaylist::parse(std::string_view text) {
  HLSPlaylist playlist;
  long long sequence = 0;
  std::optional<double> pendingDuration;
  bool first = true;
  while (!text.empty()) {
    const auto newline = text.find('\n');
    const auto line = trimmed(text.substr(0, newline));
    text = newline == std::string_view::npos ? std::string_view{} : text.substr(newline + 1);
    if (first) {
      if (line != "#EXTM3U") return std::string("The stream's playlist is not an HLS playlist.");
      first = false;
    } else if (startsWith(line, "#EXT-X-MEDIA-SEQUENCE:")) {
      const auto value = numberAt<long long>(line.substr(22));
      if (!value || *value < 0) return std::string("The stream's playlist has an invalid media sequence.");
      sequence = *value;
    } else if (startsWith(line, "#EXT-X-MAP:")) {
      playlist.mapURI = quotedURI(line.substr(11));
      if (!playlist.mapURI) return std::string("The stream's playlist names no initialization segment.");
    } else if (startsWith(line, "#EXTINF:")) {
      const auto body = line.substr(8);
      pendingDuration = numberAt<double>(body.substr(0, body.find(',')));
      if (!pendingDuration || !std::isfinite(*pendingDuration) || *pendingDuration < 0) {
        return std::string("The stream's playlist has a segment with an invalid duration.");
      }
    } else if (line == "#EXT-X-ENDLIST") {
      playlist.ended = true;
    } else if (!line.empty() && line.front() != '#') {
      if (!pendingDuration) return std::string("The stream's playlist has a segment without a duration.");
      playlist.segments.push_back({sequence, *pendingDuration, std::string(line)});
      pendingDuration.reset();
      // The number a reader asks for after this segment must exist.
      if (sequence == std::numeric_limits<long long>::max()) {
        return std::string("The stream's playlist has an invalid media sequence.");
      }
      ++sequence;
    }
  }
  if (first) return std::string("The stream's playlist is empty.");
  return playlist;
}

std::optional<double> HLSPlaylist::offsetOf(long long sequence) const {
  double offset = 0;
  for (const auto& segment : segments) {
    if (segment.sequence == sequence) return offset;
    offset += segment.duration;
  }
  return std::nullopt;
}

double HLSPlaylist::duration() const {
  double total = 0;
  for (const auto& segment : segments) total += segment.duration;
  return total;
}

}  // namespace kovali
