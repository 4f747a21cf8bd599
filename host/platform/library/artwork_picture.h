#pragma once

#include <optional>
#include <cstddef>
#include <string>
#include <string_view>

#include <QImage>

namespace kovali {

/// Where a song's or album's cover art comes from.
struct ArtworkSource {
  enum class Kind { embedded, folderFile };
  Kind kind = Kind::embedded;
  std::string path;  // bytes as on disk: the audio file (embedded) or the picture file

  bool operator==(const ArtworkSource&) const = default;
};

/// How a file named `name` ranks as its folder's cover picture: cover.jpg, cover.png, folder.jpg
/// or front.jpg in that order of preference (0 first), in any letter case; nothing for any other.
std::optional<std::size_t> folderArtworkRank(std::string_view name);

/// The picture `source` names, decoded: for an embedded one the file's first attached picture
/// that is a front cover, else its first attached picture. A null image when there is none or it
/// cannot be read. Safe on any thread.
QImage readArtworkPicture(const ArtworkSource& source);

}  // namespace kovali
