#include "platform/library/index/saved_library_index.h"

#include "platform/library/index/library_bytes.h"
#include "platform/library/index/library_index_cache.h"

namespace kovali {

namespace {

constexpr CacheFileKind kFileKind{0x5849564b, 1};  // "KVIX" on disk

// What the index was built from, besides the files' contents, which the sizes and times stand for.
std::string walkBytes(const LibraryWalk& walk) {
  ByteWriter out;
  out(walk.audioFiles, walk.playlists, walk.folderArtwork);
  return out.bytes();
}

}  // namespace

std::optional<SavedLibraryIndex> loadSavedIndex(const QString& path, const std::string& root, const LibraryWalk& walk) {
  return loadCacheFile(path, kFileKind, [&](ByteReader& in) -> std::optional<SavedLibraryIndex> {
    if (in.text() != root || in.text() != walkBytes(walk)) return std::nullopt;
    SavedLibraryIndex saved;
    in(saved.unreadableFiles);
    saved.index = LibraryIndex::read(in);
    if (!saved.index) return std::nullopt;
    return saved;
  });
}

bool saveIndex(const QString& path, const std::string& root, const LibraryWalk& walk, const SavedLibraryIndex& saved) {
  ByteWriter out;
  out(root, walkBytes(walk), saved.unreadableFiles);
  saved.index->write(out);
  return saveCacheFile(path, kFileKind, out);
}

}  // namespace kovali
