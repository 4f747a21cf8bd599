#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "model/hashing.h"
#include "protocol/json_reader.h"
#include "protocol/json_writer.h"

namespace vinaro {

/// A song of the music catalogue.
struct Track {
  std::string id;
  std::string title;
  std::string artist;
  std::optional<std::string> album;
  std::optional<double> duration;  // seconds
  std::optional<std::string> artworkURLTemplate;  // with "{w}" and "{h}" placeholders
  bool isExplicit = false;

  std::optional<std::string> artworkURL(int width, int height) const;

  // Wire name: each field's key.

  static auto wireFields() {
    using wire::field;
    return std::tuple{field("id", &Track::id), field("title", &Track::title), field("artist", &Track::artist),
                      field("album", &Track::album), field("duration", &Track::duration),
                      field("artworkURLTemplate", &Track::artworkURLTemplate), field("isExplicit", &Track::isExplicit)};
  }
  bool operator==(const Track&) const = default;
};

/// An album or playlist, without its songs. Its identity in the party is (source, id).
struct PlaylistRef {
  enum class Source { library, catalog, album, custom };

  Source source = Source::library;
  std::string id;
  std::string name;
  std::optional<std::string> subtitle;
  std::optional<std::string> artworkURLTemplate;
  std::optional<std::int64_t> trackCount;

  std::optional<std::string> artworkURL(int width, int height) const;

  // Wire name: each field's key.

  static auto wireFields() {
    using wire::field;
    return std::tuple{field("source", &PlaylistRef::source), field("id", &PlaylistRef::id),
                      field("name", &PlaylistRef::name), field("subtitle", &PlaylistRef::subtitle),
                      field("artworkURLTemplate", &PlaylistRef::artworkURLTemplate),
                      field("trackCount", &PlaylistRef::trackCount)};
  }
  bool operator==(const PlaylistRef&) const = default;
};

template <>
struct EnumNames<PlaylistRef::Source> {
  static constexpr std::string_view typeName = "PlaylistRef.Source";
  // Wire name: the raw values phones send and read.
  static constexpr std::array<std::string_view, 4> rawValues = {"library", "catalog", "album", "custom"};
};

/// Fills the "{w}" and "{h}" placeholders of an artwork template; nothing when there is no
/// template or the result is not a valid URL.
std::optional<std::string> fillArtworkTemplate(const std::optional<std::string>& urlTemplate, int width, int height);

/// Whether `text` is a well-formed URL reference: only URL characters, percent signs followed by
/// two hex digits, and a valid scheme when one is given.
bool isValidURL(std::string_view text);

}  // namespace vinaro
