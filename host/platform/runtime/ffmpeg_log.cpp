#include "platform/runtime/ffmpeg_log.h"

#include <QString>
#include <cstdarg>
#include <cstdio>
#include <utility>

#include "platform/runtime/logging.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace kovali {

namespace {

thread_local std::string currentFile;
thread_local std::string pendingLine;  // FFmpeg may write one line in several calls

std::string fileOf(void* object) {
  // Messages about a container come with its context, which knows its file.
  if (object && *static_cast<const AVClass**>(object) == avformat_get_class()) {
    const char* url = static_cast<const AVFormatContext*>(object)->url;
    if (url && *url) {
      std::string file(url);
      if (file.starts_with("file:")) file.erase(0, 5);
      return file;
    }
  }
  return currentFile;
}

void logLine(void* object, int level, const char* format, va_list arguments) {
  if (level > AV_LOG_ERROR) return;
  char text[1024];
  const int length = std::vsnprintf(text, sizeof text, format, arguments);
  pendingLine += text;
  // A message cut short has lost its newline: it is a whole line all the same.
  const bool cut = length >= static_cast<int>(sizeof text);
  if (pendingLine.empty() || (!cut && pendingLine.back() != '\n')) return;
  if (pendingLine.back() == '\n') pendingLine.pop_back();
  const std::string file = fileOf(object);
  const char* component = object ? (*static_cast<const AVClass**>(object))->item_name(object) : "ffmpeg";
  qCWarning(lcFFmpeg).noquote() << QString::fromStdString(file.empty() ? std::string("(no file)") : file)
                                << QStringLiteral("(%1):").arg(QString::fromUtf8(component))
                                << QString::fromUtf8(pendingLine.c_str());
  pendingLine.clear();
}

}  // namespace

void keepFFmpegQuiet() {
  static const bool quiet = [] {
    av_log_set_level(AV_LOG_ERROR);
    av_log_set_callback(&logLine);
    return true;
  }();
  (void)quiet;
}

FFmpegLogFile::FFmpegLogFile(std::string path) : previous_(std::exchange(currentFile, std::move(path))) {}

FFmpegLogFile::~FFmpegLogFile() { currentFile = std::move(previous_); }

std::string ffmpegErrorText(int error) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(error, text, sizeof text);
  return text;
}

}  // namespace kovali
