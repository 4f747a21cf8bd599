#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "protocol/expected.h"

struct AVFormatContext;
struct AVCodecContext;
struct AVPacket;
struct AVFrame;
struct SwrContext;

namespace kovali {

/// Reads one audio file with FFmpeg and hands out its sound as interleaved 32-bit float stereo
/// at the player's sample rate, whatever the file's own format. Not thread-safe; used by one
/// thread at a time.
class AudioFileDecoder {
 public:
  static constexpr int channels = 2;

  /// Opens `location`, an absolute path or a file:// URL; the error is a sentence for people.
  static vinaro::Expected<std::unique_ptr<AudioFileDecoder>, std::string> open(const std::string& location,
                                                                               int sampleRate);
  ~AudioFileDecoder();
  AudioFileDecoder(const AudioFileDecoder&) = delete;
  AudioFileDecoder& operator=(const AudioFileDecoder&) = delete;

  /// Writes up to `frames` frames into `out` and answers how many it wrote; fewer only at the
  /// end of the file (a damaged stretch ends it early).
  std::size_t read(float* out, std::size_t frames);
  /// Moves to `seconds` into the file, so that `read` goes on from there; false when the file
  /// cannot seek, and it then goes on from where it was.
  bool seek(double seconds);

 private:
  AudioFileDecoder() = default;
  /// Decodes and converts the next frame of the file into `pending_`; false at the end.
  bool decodeMore();
  /// Converts `frame` into `pending_`; false when it yields no sound.
  bool convert(const AVFrame* frame);
  /// Appends to `pending_` what the resampler makes of `input` (or, for none, what it still holds).
  void appendConverted(const std::uint8_t** input, int inputFrames);

  AVFormatContext* format_ = nullptr;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  SwrContext* resampler_ = nullptr;
  int streamIndex_ = -1;
  int sampleRate_ = 0;
  bool draining_ = false;  // the file is read to its end; the codec gives what it still holds
  bool finished_ = false;
  std::vector<float> pending_;  // converted samples not yet handed out
  double decodedSeconds_ = -1;  // where the frame decoded last begins in the file; -1 when unknown
  std::size_t pendingOffset_ = 0;
};

}  // namespace kovali
