#include "platform/library/artwork_picture.h"

#include <array>
#include <memory>

#include <QByteArray>
#include <QFile>

#include "platform/runtime/ffmpeg_log.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace kovali {

namespace {

constexpr std::array<std::string_view, 4> kFolderArtNames = {"cover.jpg", "cover.png", "folder.jpg", "front.jpg"};

struct InputCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

bool equalsIgnoringCase(std::string_view name, std::string_view wanted) {
  if (name.size() != wanted.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char lower = name[i] >= 'A' && name[i] <= 'Z' ? static_cast<char>(name[i] - 'A' + 'a') : name[i];
    if (lower != wanted[i]) return false;
  }
  return true;
}

bool isFrontCover(const AVStream& stream) {
  const AVDictionaryEntry* comment = av_dict_get(stream.metadata, "comment", nullptr, 0);
  return comment && comment->value && std::string_view(comment->value) == "Cover (front)";
}

QImage embeddedPicture(const std::string& path) {
  const FFmpegLogFile logFile(path);
  AVFormatContext* raw = nullptr;
  const std::string url = "file:" + path;  // a colon in the name is no protocol
  if (avformat_open_input(&raw, url.c_str(), nullptr, nullptr) < 0) return {};
  std::unique_ptr<AVFormatContext, InputCloser> context(raw);
  const AVStream* chosen = nullptr;
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    const AVStream* stream = context->streams[i];
    if (!(stream->disposition & AV_DISPOSITION_ATTACHED_PIC) || stream->attached_pic.size <= 0) continue;
    if (!chosen || (isFrontCover(*stream) && !isFrontCover(*chosen))) chosen = stream;
  }
  if (!chosen) return {};
  return QImage::fromData(
      QByteArray::fromRawData(reinterpret_cast<const char*>(chosen->attached_pic.data), chosen->attached_pic.size));
}

}  // namespace

std::optional<std::size_t> folderArtworkRank(std::string_view name) {
  for (std::size_t i = 0; i < kFolderArtNames.size(); ++i) {
    if (equalsIgnoringCase(name, kFolderArtNames[i])) return i;
  }
  return std::nullopt;
}

QImage readArtworkPicture(const ArtworkSource& source) {
  if (source.kind == ArtworkSource::Kind::embedded) return embeddedPicture(source.path);
  return QImage(QFile::decodeName(QByteArray::fromStdString(source.path)));
}

}  // namespace kovali
