#pragma once

// Made-up tags for the music benchmarks: albums of ten songs, ten albums an artist.

#include <cctype>
#include <random>
#include <string>
#include <vector>

#include "platform/library/audio_tag_reader.h"
#include "platform/library/index/library_index.h"

namespace kovali {

inline constexpr int kLargeLibrary = 200000;

inline const std::vector<std::string>& benchWords() {
  static const std::vector<std::string> words = {
      "love",  "night", "dance", "heart", "fire",   "rain",  "summer", "blue",  "city",  "dream",  "light", "river",
      "gold",  "moon",  "road",  "home",  "wild",   "sweet", "storm",  "ocean", "echo",  "shadow", "glass", "paper",
      "café",  "déjà",  "vu",    "noël",  "señor",  "über",  "the",    "of",    "my",    "in",     "on",    "away",
      "again", "song",  "time",  "girl",  "boy",    "world", "sky",    "star",  "fever", "thunder", "soul", "garden"};
  return words;
}

inline std::string randomWords(std::mt19937& random, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i) text += ' ';
    std::string word = benchWords()[random() % benchWords().size()];
    if (random() % 2) word[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
    text += word;
  }
  return text;
}

/// The tags of song `n`.
inline AudioFileTags randomTags(std::mt19937& random, int n) {
  std::mt19937 albumRandom(static_cast<unsigned>(n / 10));
  AudioFileTags tags;
  tags.title = randomWords(random, 1 + static_cast<int>(random() % 4));
  tags.artist = "Artist " + std::to_string(n / 100) + " " + randomWords(albumRandom, 1);
  tags.album = randomWords(albumRandom, 2) + " " + std::to_string(n / 10);
  tags.trackNumber = 1 + n % 10;
  tags.duration = 180 + n % 120;
  return tags;
}

/// The files of a large library, as a scan hands them to the index.
inline std::vector<LibraryFile> largeLibraryFiles() {
  std::mt19937 random(11);
  std::vector<LibraryFile> files;
  files.reserve(kLargeLibrary);
  for (int i = 0; i < kLargeLibrary; ++i) {
    const std::string path = "Music/" + std::to_string(i / 100) + "/" + std::to_string(i) + ".flac";
    files.push_back({path, randomTags(random, i), std::nullopt});
  }
  return files;
}

}  // namespace kovali
