#pragma once

#include <string>

namespace kovali {

/// Sends FFmpeg's error messages to the "kovaliapp.ffmpeg" log as warnings, each naming the file
/// it is about where that is known, and drops FFmpeg's chatter below errors. Call once, before
/// FFmpeg is used; any thread may log afterwards.
void routeFFmpegLog();

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
