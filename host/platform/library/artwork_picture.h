#pragma once

#include <optional>
#include <string>

#include <QImage>

namespace kovali {

/// Where a song's or album's cover art comes from.
struct ArtworkSource {
  enum class Kind { embedded, folderFile };
  Kind kind = Kind::embedded;
  std::string path;  // bytes as on disk: the audio file (embedded) or the picture file

  bool operator==(const ArtworkSource&) const = default;
};

/// The cover picture file among `folder`'s files (bytes as on disk): cover.jpg, cover.png,
/// folder.jpg or front.jpg in that order of preference, in any letter case; nothing without one.
std::optional<std::string> findFolderArtwork(const std::string& folder);

/// The picture `source` names, decoded: for an embedded one the file's first attached picture
/// that is a front cover, else its first attached picture. A null image when there is none or it
/// cannot be read. Safe on any thread.
QImage readArtworkPicture(const ArtworkSource& source);

}  // namespace kovali
