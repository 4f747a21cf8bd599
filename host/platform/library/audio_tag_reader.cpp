#include "platform/library/audio_tag_reader.h"

#include <chrono>
#include <cstdlib>
#include <memory>

#include <QString>

#include "platform/library/index/library_text.h"
#include "platform/runtime/ffmpeg_log.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace kovali {

namespace {

using Clock = std::chrono::steady_clock;

int deadlinePassed(void* deadline) { return Clock::now() > *static_cast<Clock::time_point*>(deadline) ? 1 : 0; }

struct InputCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};

const AVStream* audioStream(const AVFormatContext& context) {
  for (unsigned i = 0; i < context.nb_streams; ++i) {
    const AVStream* stream = context.streams[i];
    if (stream->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && !(stream->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
      return stream;
    }
  }
  return nullptr;
}

bool isUsable(const AVStream* stream) {
  return stream && stream->codecpar->codec_id != AV_CODEC_ID_NONE && stream->codecpar->sample_rate > 0;
}

std::optional<double> durationOf(const AVFormatContext& context, const AVStream& stream) {
  if (stream.duration != AV_NOPTS_VALUE && stream.duration > 0 && stream.time_base.den > 0) {
    return static_cast<double>(stream.duration) * av_q2d(stream.time_base);
  }
  if (context.duration != AV_NOPTS_VALUE && context.duration > 0) {
    return static_cast<double>(context.duration) / AV_TIME_BASE;
  }
  return std::nullopt;
}

// A tag of the file, or of the audio stream where the container keeps them there (Ogg).
std::string tag(const AVFormatContext& context, const AVStream& stream, const char* key) {
  const AVDictionaryEntry* entry = av_dict_get(context.metadata, key, nullptr, 0);
  if (!entry) entry = av_dict_get(stream.metadata, key, nullptr, 0);
  if (!entry || !entry->value) return {};
  return QString::fromStdString(readableText(entry->value)).trimmed().toStdString();
}

std::string firstTag(const AVFormatContext& context, const AVStream& stream, std::initializer_list<const char*> keys) {
  for (const char* key : keys) {
    if (auto value = tag(context, stream, key); !value.empty()) return value;
  }
  return {};
}

// "3" or "3/12".
int leadingNumber(const std::string& text) {
  const long value = std::strtol(text.c_str(), nullptr, 10);
  return value > 0 && value < 100000 ? static_cast<int>(value) : 0;
}

// The iTunes advisory codes: 1 (and the older 4) explicit, 2 clean, 0 none.
std::optional<ContentRating> contentRating(const std::string& code) {
  if (code == "1" || code == "4") return ContentRating::explicitContent;
  if (code == "2") return ContentRating::clean;
  return std::nullopt;
}

}  // namespace

std::optional<AudioFileTags> readAudioTags(const std::string& path, double timeoutSeconds) {
  keepFFmpegQuiet();
  const FFmpegLogFile logFile(path);
  AVFormatContext* raw = avformat_alloc_context();
  if (!raw) return std::nullopt;
  auto deadline = Clock::now() + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeoutSeconds));
  raw->interrupt_callback = AVIOInterruptCB{&deadlinePassed, &deadline};
  // "file:" keeps a colon in a file name from being read as a protocol.
  const std::string url = "file:" + path;
  if (avformat_open_input(&raw, url.c_str(), nullptr, nullptr) < 0) return std::nullopt;  // frees raw
  std::unique_ptr<AVFormatContext, InputCloser> context(raw);

  const AVStream* stream = audioStream(*context);
  std::optional<double> duration = stream ? durationOf(*context, *stream) : std::nullopt;
  // Most containers say all we need in their header; the rest (raw MP3 without a length
  // header, say) need a few packets read.
  if (!isUsable(stream) || !duration) {
    if (avformat_find_stream_info(context.get(), nullptr) < 0) return std::nullopt;
    stream = audioStream(*context);
    if (!isUsable(stream)) return std::nullopt;
    duration = durationOf(*context, *stream);
  }

  AudioFileTags tags;
  tags.title = tag(*context, *stream, "title");
  tags.artist = tag(*context, *stream, "artist");
  tags.album = tag(*context, *stream, "album");
  tags.albumArtist = firstTag(*context, *stream, {"album_artist", "albumartist", "album artist"});
  tags.trackNumber = leadingNumber(tag(*context, *stream, "track"));
  tags.discNumber = leadingNumber(tag(*context, *stream, "disc"));
  tags.duration = duration;
  tags.contentRating = contentRating(firstTag(*context, *stream, {"rating", "itunesadvisory"}));
  for (unsigned i = 0; i < context->nb_streams; ++i) {
    if (context->streams[i]->disposition & AV_DISPOSITION_ATTACHED_PIC) tags.embeddedArtwork = true;
  }
  return tags;
}

}  // namespace kovali
