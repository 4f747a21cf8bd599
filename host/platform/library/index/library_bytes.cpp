#include "platform/library/index/library_bytes.h"

#include <algorithm>
#include <bit>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace kovali {

namespace {

struct Frame {
  std::uint32_t mark = 0;
  std::uint32_t version = 0;
  std::uint64_t checksum = 0;
};

// Catches damage, not tampering. Each lane takes every fourth word through steps that lose
// nothing, so that any one changed word changes the sum; the lanes keep a large file quick.
std::uint64_t checksumOf(std::string_view bytes) {
  constexpr std::uint64_t kOdd = 0x9e3779b97f4a7c15;
  const auto mixed = [](std::uint64_t sum, std::uint64_t word) { return std::rotl((sum ^ word) * kOdd, 31); };
  std::uint64_t lanes[4] = {1, 2, 3, 4};
  std::size_t at = 0;
  for (; at + sizeof lanes <= bytes.size(); at += sizeof lanes) {
    for (std::size_t i = 0; i < 4; ++i) {
      std::uint64_t word = 0;
      std::memcpy(&word, bytes.data() + at + i * sizeof word, sizeof word);
      lanes[i] = mixed(lanes[i], word);
    }
  }
  std::uint64_t sum = bytes.size();
  for (const std::uint64_t lane : lanes) sum = mixed(sum, lane);
  for (; at < bytes.size(); ++at) sum = mixed(sum, static_cast<unsigned char>(bytes[at]));
  return sum;
}

}  // namespace

bool saveCacheFile(const QString& path, CacheFileKind kind, const ByteWriter& body) {
  const Frame frame{kind.mark, kind.version, checksumOf(body.bytes())};
  if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return false;
  const auto size = static_cast<qint64>(body.bytes().size());
  return file.write(reinterpret_cast<const char*>(&frame), sizeof frame) == sizeof frame &&
         file.write(body.bytes().data(), size) == size && file.commit();
}

std::optional<std::string> cacheFileBody(const QString& path, CacheFileKind kind) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
  Frame frame;
  if (file.read(reinterpret_cast<char*>(&frame), sizeof frame) != sizeof frame) return std::nullopt;
  std::string body(static_cast<std::size_t>(std::max<qint64>(file.size() - qint64{sizeof frame}, 0)), '\0');
  if (file.read(body.data(), static_cast<qint64>(body.size())) != static_cast<qint64>(body.size())) return std::nullopt;
  if (frame.mark != kind.mark || frame.version != kind.version || frame.checksum != checksumOf(body)) {
    return std::nullopt;
  }
  return body;
}

}  // namespace kovali
