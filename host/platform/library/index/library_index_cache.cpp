#include "platform/library/index/library_index_cache.h"

#include <QCryptographicHash>
#include <QDir>

#include "platform/library/index/library_bytes.h"

namespace kovali {

namespace {

constexpr std::uint32_t kMark = 0x494d564b;  // "KVMI" on disk
constexpr std::uint32_t kVersion = 3;  // 3: bytes as kept in memory, read at once

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
  const auto contents = readWholeFile(path);
  const auto body = contents ? framedBody(*contents, kMark, kVersion) : std::nullopt;
  if (!body) return {};
  ByteReader in(*body);
  if (in.text() != root) return {};
  std::vector<CachedAudioFile> files;
  in(files);
  if (!in.readAll()) return {};
  return files;
}

bool saveIndexCache(const QString& path, const std::string& root, const std::vector<CachedAudioFile>& files) {
  ByteWriter out;
  out(root, files);
  return replaceFile(path, framedBytes(kMark, kVersion, out.bytes()));
}

}  // namespace kovali
