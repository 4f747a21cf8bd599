#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace kovali {

/// Cover art of a catalogue item: an image address that may hold the placeholders "{w}" and "{h}".
struct Artwork {
  std::string urlTemplate;

  /// The address for the given size; nothing when there is no usable address. A template that
  /// starts with "/" is the library's own art, at the host's artwork address.
  std::optional<std::string> url(int width, int height) const;

  bool operator==(const Artwork&) const = default;
};

enum class ContentRating { clean, explicitContent };

/// A song as the music catalogue hands it out. `fileURL` is where the player reads it from.
struct Song {
  std::string id;
  std::string title;
  std::string artistName;
  std::optional<std::string> albumTitle;
  std::optional<double> duration;  // seconds
  std::optional<Artwork> artwork;
  std::optional<ContentRating> contentRating;
  std::string fileURL;

  bool operator==(const Song&) const = default;
};

/// An album of the catalogue, without its songs.
struct Album {
  std::string id;
  std::string title;
  std::string artistName;
  std::optional<Artwork> artwork;
  std::int64_t trackCount = 0;

  bool operator==(const Album&) const = default;
};

/// A playlist of the catalogue or the library, without its songs.
struct Playlist {
  std::string id;
  std::string name;
  std::optional<std::string> curatorName;
  std::optional<Artwork> artwork;

  bool operator==(const Playlist&) const = default;
};

}  // namespace kovali
