#include "platform/library/index/library_index_cache.h"

#include <QCryptographicHash>
#include <QDir>

#include "platform/library/index/library_bytes.h"

namespace kovali {

namespace {

constexpr CacheFileKind kFileKind{0x494d564b, 3};  // "KVMI" on disk; 3: bytes as kept in memory, read at once

QByteArray bytes(const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

}  // namespace

void describe(auto& archive, AudioFileTags& tags) {
  archive(tags.title, tags.artist, tags.album, tags.albumArtist, tags.trackNumber, tags.discNumber, tags.duration,
          tags.contentRating, tags.embeddedArtwork);
}

void describe(auto& archive, CachedAudioFile& entry) { archive(entry.file, entry.tags); }

QString indexCachePath(const QString& dataFolder, const std::string& root) {
  // Named after the folder, so that switching between folders keeps each one's cache.
  const QByteArray name = QCryptographicHash::hash(bytes(root), QCryptographicHash::Sha1).toHex().left(16);
  return QDir(dataFolder).filePath(QStringLiteral("Music Index/") + QString::fromLatin1(name) + QStringLiteral(".cache"));
}

QString savedIndexPath(const QString& dataFolder, const std::string& root) {
  QString path = indexCachePath(dataFolder, root);
  path.replace(path.size() - 5, 5, QStringLiteral("index"));
  return path;
}

std::vector<CachedAudioFile> loadIndexCache(const QString& path, const std::string& root) {
  return loadCacheFile(path, kFileKind, [&](ByteReader& in) {
    std::vector<CachedAudioFile> files;
    if (in.text() == root) in(files);
    return files;
  });
}

bool saveIndexCache(const QString& path, const std::string& root, const std::vector<CachedAudioFile>& files) {
  ByteWriter out;
  out(root, files);
  return saveCacheFile(path, kFileKind, out);
}

}  // namespace kovali
