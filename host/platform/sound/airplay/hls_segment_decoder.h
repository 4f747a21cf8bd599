#pragma once

#include <QByteArray>
#include <memory>
#include <string>
#include <vector>

#include "platform/sound/pcm_buffer.h"
#include "protocol/expected.h"

struct AVCodecContext;
struct AVFrame;
struct AVPacket;
struct AVFormatContext;

namespace kovali {

/// Decodes the AAC media segments of a fragmented-MP4 live stream, one after another, into PCM
/// placed on the stream's timeline by the segments' own decode times. One thread at a time.
class HLSSegmentDecoder {
 public:
  /// Reads the decoder's set-up from the initialization segment; the error is a sentence.
  static vinaro::Expected<std::unique_ptr<HLSSegmentDecoder>, std::string> make(const QByteArray& initialization);
  ~HLSSegmentDecoder();
  HLSSegmentDecoder(const HLSSegmentDecoder&) = delete;
  HLSSegmentDecoder& operator=(const HLSSegmentDecoder&) = delete;

  /// The format of every buffer it makes.
  const AudioFormat& format() const { return format_; }

  /// Decodes the next media segment into buffers, each at its time on the stream's timeline (in
  /// frames of `format()`); the error is a sentence.
  vinaro::Expected<std::vector<SampleBuffer>, std::string> decode(const QByteArray& segment);

 private:
  explicit HLSSegmentDecoder(QByteArray initialization);
  std::string open();
  bool receiveFrames(std::vector<SampleBuffer>& out);

  QByteArray initialization_;
  AudioFormat format_;
  AVCodecContext* codec_ = nullptr;
  AVPacket* packet_ = nullptr;
  AVFrame* frame_ = nullptr;
  bool decodedBefore_ = false;
};

}  // namespace kovali
