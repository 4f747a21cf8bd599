#pragma once

#include <QByteArray>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "audio/stream/hls_stream.h"
#include "platform/sound/pcm_buffer.h"

namespace kovali::test {

/// A buffer of a sine tone (the same on every channel) starting at `firstFrame` of the tone.
SharedPCMBuffer sineBuffer(const AudioFormat& format, std::int64_t firstFrame, int frames, double frequency,
                           float amplitude);

/// Appends the tone in 10 ms buffers until the stream holds media segment `sequence`, at most
/// `maxSeconds` of sound; answers the seconds appended.
double appendSineUntil(HLSStream& stream, int sequence, double frequency, float amplitude, double maxSeconds = 20);

/// What libavformat and libavcodec make of an initialization segment followed by media segments.
struct DecodedAudio {
  int sampleRate = 0;
  int channels = 0;
  std::vector<float> firstChannel;
  std::string error;  // empty when it decoded
};
DecodedAudio decodeSegments(const QByteArray& initialization, const std::vector<QByteArray>& segments);

/// The tone's frequency from the zero crossings of the middle of `samples`.
double toneFrequency(const std::vector<float>& samples, int sampleRate);
/// Root mean square of the middle of `samples`.
double rootMeanSquare(const std::vector<float>& samples);

}  // namespace kovali::test
