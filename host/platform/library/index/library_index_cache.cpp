#include "platform/library/index/library_index_cache.h"

#include <QCryptographicHash>
#include <QDataStream>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kovali {

namespace {

constexpr quint32 kMagic = 0x4b564d49;  // "KVMI"
constexpr quint32 kVersion = 2;  // 2: whether a file carries a picture
constexpr auto kStreamVersion = QDataStream::Qt_6_4;

QByteArray bytes(const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }

std::string text(QDataStream& in) {
  QByteArray value;
  in >> value;
  return value.toStdString();
}

void write(QDataStream& out, const CachedAudioFile& entry) {
  out << bytes(entry.file.relativePath) << qint64(entry.file.size) << qint64(entry.file.modifiedNs)
      << bool(entry.tags);
  if (!entry.tags) return;
  const AudioFileTags& tags = *entry.tags;
  const qint8 rating = tags.contentRating ? (*tags.contentRating == ContentRating::explicitContent ? 1 : 0) : -1;
  out << bytes(tags.title) << bytes(tags.artist) << bytes(tags.album) << bytes(tags.albumArtist)
      << qint32(tags.trackNumber) << qint32(tags.discNumber) << tags.duration.value_or(-1.0) << rating
      << tags.embeddedArtwork;
}

CachedAudioFile read(QDataStream& in) {
  CachedAudioFile entry;
  qint64 size = 0;
  qint64 modified = 0;
  bool readable = false;
  entry.file.relativePath = text(in);
  in >> size >> modified >> readable;
  entry.file.size = size;
  entry.file.modifiedNs = modified;
  if (!readable) return entry;
  AudioFileTags tags;
  qint32 track = 0;
  qint32 disc = 0;
  double duration = -1;
  qint8 rating = -1;
  tags.title = text(in);
  tags.artist = text(in);
  tags.album = text(in);
  tags.albumArtist = text(in);
  in >> track >> disc >> duration >> rating >> tags.embeddedArtwork;
  tags.trackNumber = track;
  tags.discNumber = disc;
  if (duration >= 0) tags.duration = duration;
  if (rating >= 0) tags.contentRating = rating == 1 ? ContentRating::explicitContent : ContentRating::clean;
  entry.tags = std::move(tags);
  return entry;
}

}  // namespace

QString indexCachePath(const QString& dataFolder, const std::string& root) {
  // Named after the folder, so that switching between folders keeps each one's cache.
  const QByteArray name = QCryptographicHash::hash(bytes(root), QCryptographicHash::Sha1).toHex().left(16);
  return QDir(dataFolder).filePath(QStringLiteral("Music Index/") + QString::fromLatin1(name) + QStringLiteral(".cache"));
}

std::vector<CachedAudioFile> loadIndexCache(const QString& path, const std::string& root) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QDataStream in(&file);
  in.setVersion(kStreamVersion);
  quint32 magic = 0;
  quint32 version = 0;
  in >> magic >> version;
  if (magic != kMagic || version != kVersion || text(in) != root) return {};
  quint32 count = 0;
  in >> count;
  std::vector<CachedAudioFile> files;
  // The count comes from the file: trust it for nothing but a bounded reservation.
  files.reserve(std::min<quint32>(count, 1'000'000));
  for (quint32 i = 0; i < count && in.status() == QDataStream::Ok; ++i) files.push_back(read(in));
  if (in.status() != QDataStream::Ok) return {};
  return files;
}

bool saveIndexCache(const QString& path, const std::string& root, const std::vector<CachedAudioFile>& files) {
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  QDataStream out(&file);
  out.setVersion(kStreamVersion);
  out << kMagic << kVersion << bytes(root) << quint32(files.size());
  for (const auto& entry : files) write(out, entry);
  return out.status() == QDataStream::Ok && file.commit();
}

}  // namespace kovali
