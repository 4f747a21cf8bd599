#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class QThreadPool;

namespace kovali {

/// A file met while walking the library folder.
struct WalkedFile {
  std::string relativePath;  // bytes as on disk, "/" between folders
  std::int64_t size = 0;
  std::int64_t modifiedNs = 0;  // modification time, nanoseconds since 1970

  bool operator==(const WalkedFile&) const = default;
};

/// The audio files and playlists under the library folder, each list sorted by path, and the
/// folders' cover pictures.
struct LibraryWalk {
  std::vector<WalkedFile> audioFiles;  // by extension: mp3, m4a, aac, flac, ogg, oga, opus, wav
  std::vector<WalkedFile> playlists;   // m3u, m3u8
  // By folder ("" for the root): the path of its cover picture (see folderArtworkRank).
  std::map<std::string, std::string, std::less<>> folderArtwork;
  int unreadableFolders = 0;
};

/// Why the library folder itself cannot be walked.
enum class FolderProblem { missing, notAFolder, unreadable };

/// What keeps `root` from being walked, or nothing when it can be.
std::optional<FolderProblem> folderProblem(const std::string& root);

/// Walks `root` and every folder below it, following links but entering each folder once (a
/// link back up is met, not followed round), under the same path on every walk: a folder reached
/// both directly and through a link is listed under its direct path. Hidden entries (".name")
/// are passed by, and only
/// regular files are listed, so a FIFO named "song.mp3" cannot block a read. Stops early, with
/// what it has, when `cancelled` turns true. Files' sizes and times are asked for on `statters`.
std::variant<LibraryWalk, FolderProblem> walkLibrary(const std::string& root, const std::atomic<bool>& cancelled,
                                                     QThreadPool& statters);

}  // namespace kovali
