#pragma once

#include <optional>
#include <string>

#include "platform/library/music_items.h"

namespace kovali {

/// What the library keeps of one audio file: its tags (readable UTF-8, empty when untagged)
/// and its length.
struct AudioFileTags {
  std::string title;
  std::string artist;
  std::string album;
  std::string albumArtist;
  int trackNumber = 0;  // 0 when untagged
  int discNumber = 0;
  std::optional<double> duration;  // seconds
  std::optional<ContentRating> contentRating;
  bool embeddedArtwork = false;  // the file carries an attached picture

  bool operator==(const AudioFileTags&) const = default;
};

/// Reads the tags and the length of the audio file at `path` (bytes as on disk) with
/// libavformat; nothing when the file holds no audio stream that can be read, or when reading
/// takes longer than `timeoutSeconds`. Safe to call from several threads at once.
std::optional<AudioFileTags> readAudioTags(const std::string& path, double timeoutSeconds = 10);

}  // namespace kovali
