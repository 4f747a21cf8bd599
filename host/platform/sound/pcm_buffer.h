#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kovali {

/// The format of captured sound: interleaved 32-bit float samples at a sample rate.
struct AudioFormat {
  double sampleRate = 0;
  int channels = 0;

  /// How logs and error sentences name the format, such as "48000 Hz, 2 channels, 32-bit float".
  std::string description() const;

  bool operator==(const AudioFormat&) const = default;
};

/// A block of captured sound. Shared between the encoder and the local mirror once made, and
/// never changed after that.
struct PCMBuffer {
  AudioFormat format;
  std::vector<float> samples;  // interleaved, frameLength() × channels

  std::int64_t frameLength() const {
    return format.channels > 0 ? static_cast<std::int64_t>(samples.size()) / format.channels : 0;
  }
};
using SharedPCMBuffer = std::shared_ptr<const PCMBuffer>;

/// A point on a timeline: `value` ticks of 1/`timescale` seconds; a timescale of 0 is no time.
struct MediaTime {
  std::int64_t value = 0;
  std::int32_t timescale = 0;

  bool isValid() const { return timescale > 0; }
  double seconds() const;

  bool operator==(const MediaTime&) const = default;
};

/// A PCM buffer placed on a timeline, each frame lasting one tick of the buffer's own rate.
struct SampleBuffer {
  SharedPCMBuffer pcm;
  MediaTime presentationTime;
  MediaTime frameDuration;
};

/// Places `buffer` at `presentationTime`; none when it holds no whole frame or its format has no
/// whole positive sample rate and channel count.
std::optional<SampleBuffer> makeSampleBuffer(SharedPCMBuffer buffer, MediaTime presentationTime);

}  // namespace kovali
