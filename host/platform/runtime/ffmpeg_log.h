#pragma once

#include <string>

namespace kovali {

/// Keeps FFmpeg's own log to errors (its notes on odd but playable files and its encoder
/// statistics would flood the output) and sends them to the "kovaliapp.ffmpeg" log as warnings,
/// each naming the file it is about where that is known. Any thread, any number of times.
void keepFFmpegQuiet();

/// FFmpeg's words for one of its error codes.
std::string ffmpegErrorText(int error);

/// While it lives, FFmpeg's messages on this thread that name no file are about `path` (the
/// decoders' messages name none).
class FFmpegLogFile {
 public:
  explicit FFmpegLogFile(std::string path);
  ~FFmpegLogFile();
  FFmpegLogFile(const FFmpegLogFile&) = delete;
  FFmpegLogFile& operator=(const FFmpegLogFile&) = delete;

 private:
  std::string previous_;
};

}  // namespace kovali
