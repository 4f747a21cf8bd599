#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "platform/library/index/library_index.h"
#include "platform/library/index/library_walker.h"

namespace kovali {

/// The index a scan built, as saved beside the index cache, so that a start finding the folder as
/// it was takes it without building it again.
struct SavedLibraryIndex {
  std::shared_ptr<const LibraryIndex> index;
  std::vector<std::string> unreadableFiles;  // the audio files that could not be read
};

/// The index saved at `path`, when it was built from this very `walk` of `root` (the same files,
/// sizes and times, playlists and cover pictures); nothing when it was not, or when the file is
/// missing, damaged or of another version.
std::optional<SavedLibraryIndex> loadSavedIndex(const QString& path, const std::string& root, const LibraryWalk& walk);

/// Replaces the index saved at `path` in one step; false when it cannot be written.
bool saveIndex(const QString& path, const std::string& root, const LibraryWalk& walk, const SavedLibraryIndex& saved);

}  // namespace kovali
