#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QString>

#include "platform/library/audio_tag_reader.h"
#include "platform/library/index/library_walker.h"

namespace kovali {

/// One audio file as a scan found it: its size and time, and what was read from it.
struct CachedAudioFile {
  WalkedFile file;
  std::optional<AudioFileTags> tags;  // nothing: the file could not be read

  bool operator==(const CachedAudioFile&) const = default;
};

/// How a walked file is kept in the caches (see library_bytes.h).
void describe(auto& archive, WalkedFile& file) { archive(file.relativePath, file.size, file.modifiedNs); }

/// Where the index cache of the library folder `root` lives in the app data folder.
QString indexCachePath(const QString& dataFolder, const std::string& root);
/// Where the index built from it is saved: beside it, ending ".index" (see saved_library_index.h).
QString savedIndexPath(const QString& dataFolder, const std::string& root);

/// The files of the cache at `path`; nothing when it is missing, damaged, of another version or
/// made for another folder than `root` (the scan then reads every file again).
std::vector<CachedAudioFile> loadIndexCache(const QString& path, const std::string& root);

/// Replaces the cache at `path` in one step; false when it cannot be written.
bool saveIndexCache(const QString& path, const std::string& root, const std::vector<CachedAudioFile>& files);

}  // namespace kovali
