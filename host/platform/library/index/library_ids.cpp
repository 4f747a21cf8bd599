#include "platform/library/index/library_ids.h"

#include <QCryptographicHash>

namespace kovali {

namespace {

std::string stableID(std::string_view kind, std::string_view key) {
  QCryptographicHash hash(QCryptographicHash::Sha1);
  hash.addData(QByteArrayView(kind.data(), static_cast<qsizetype>(kind.size())));
  hash.addData(QByteArrayView("\0", 1));
  hash.addData(QByteArrayView(key.data(), static_cast<qsizetype>(key.size())));
  return hash.result().left(8).toHex().toStdString();
}

}  // namespace

std::string songID(std::string_view relativePath) { return stableID("song", relativePath); }

std::string albumID(std::string_view albumArtist, std::string_view albumTitle) {
  std::string key(albumArtist);
  key += '\0';
  key += albumTitle;
  return stableID("album", key);
}

std::string playlistID(std::string_view relativePath) { return stableID("playlist", relativePath); }

}  // namespace kovali
