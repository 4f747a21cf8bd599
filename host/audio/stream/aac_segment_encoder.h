#pragma once

#include <QByteArray>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/sound/pcm_buffer.h"
#include "protocol/expected.h"

struct AVCodecContext;
struct AVFormatContext;
struct AVIOContext;
struct AVAudioFifo;
struct AVFrame;
struct AVPacket;
struct SwrContext;

namespace kovali {

/// Encodes PCM into AAC at 256 kbit/s and cuts it into fragmented MPEG-4 for live HLS: one
/// initialization segment, then media segments of about a second each, all in memory. 44.1 and
/// 48 kHz are kept, other rates become 48 kHz; mono stays mono, more channels become stereo.
/// Not thread-safe: one caller at a time.
class AACSegmentEncoder {
 public:
  enum class Status { writing, failed, cancelled };

  /// What the encoder hands out: the initialization segment (before the first media segment)
  /// or a media segment with its duration in seconds.
  struct Output {
    enum class Type { initialization, media };
    Type type = Type::media;
    QByteArray data;
    double duration = 0;
  };

  /// Builds and starts the encoder for `source`; the error is a sentence for people.
  static vinaro::Expected<std::unique_ptr<AACSegmentEncoder>, std::string> make(const AudioFormat& source);
  ~AACSegmentEncoder();
  AACSegmentEncoder(const AACSegmentEncoder&) = delete;
  AACSegmentEncoder& operator=(const AACSegmentEncoder&) = delete;

  /// Takes one buffer in the source format and adds what it completes to `out`; false when the
  /// buffer is refused (another format, or the encoder is not writing or fails now).
  bool append(const SampleBuffer& buffer, std::vector<Output>& out);
  /// Stops writing; whatever was not yet cut into a segment is dropped.
  void cancel();

  Status status() const { return status_; }
  /// The failure's description once the status is failed.
  const std::optional<std::string>& error() const { return error_; }
  int outputSampleRate() const { return outputRate_; }
  int outputChannels() const { return outputChannels_; }

 private:
  friend struct AACSegmentEncoderTestAccess;  // makes the output fail, which memory never does

  explicit AACSegmentEncoder(const AudioFormat& source);
  /// Opens the codec, the resampler and the muxer; the error is FFmpeg's text.
  std::optional<std::string> open();
  std::optional<std::string> openCodec();
  std::optional<std::string> openResampler();
  std::optional<std::string> openMuxer();
  /// Encodes every whole codec frame waiting in the FIFO.
  bool encodeWaiting(std::vector<Output>& out);
  /// Muxes the packets the codec has ready, cutting a segment each time one is long enough.
  bool drainPackets(std::vector<Output>& out);
  /// Hands out the segment gathered so far; false when it could not be written (then failed).
  bool cutSegment(std::vector<Output>& out);
  bool fail(const std::string& what, int error);
  static int collect(void* encoder, std::uint8_t* bytes, int size);

  AudioFormat source_;
  int outputRate_ = 48000;
  int outputChannels_ = 2;
  Status status_ = Status::writing;
  std::optional<std::string> error_;

  AVCodecContext* codec_ = nullptr;
  SwrContext* resampler_ = nullptr;
  AVAudioFifo* fifo_ = nullptr;
  AVFrame* frame_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFormatContext* muxer_ = nullptr;
  AVIOContext* io_ = nullptr;

  std::int64_t nextPts_ = 0;                  // in output samples
  std::int64_t fragmentSamples_ = 0;          // output samples in the segment being gathered
  QByteArray written_;                        // what the muxer wrote since the last cut
  std::optional<QByteArray> initialization_;  // held until the first media segment
  std::vector<std::vector<float>> planes_;    // the resampler's output, one plane a channel
};

}  // namespace kovali
