#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace kovali {

/// A short tune of generated tones, to be written as a tagged audio file.
struct ToneFile {
  std::string path;                 // the extension picks the format: m4a, mp3, flac, ogg, opus or wav
  std::vector<double> notes;        // frequencies in Hz, one after another; 0 is a rest
  double noteSeconds = 0.25;
  std::vector<std::pair<std::string, std::string>> tags;  // "title", "artist", "album", "album_artist", "track"…
  std::string coverJPEG;  // a JPEG picture attached as the front cover (MP3, FLAC); empty for none
  int coverWidth = 0;     // its size in pixels, which the containers record beside it
  int coverHeight = 0;
};

/// Encodes the tune with FFmpeg into `file.path` (stereo; AAC, MP3, FLAC, Vorbis, Opus or PCM by
/// the extension). Gives a sentence saying what went wrong when the file cannot be written.
std::optional<std::string> writeToneFile(const ToneFile& file);

}  // namespace kovali
