#include "platform/sound/airplay/hls_segment_decoder.h"

#include <gtest/gtest.h>

#include <cmath>

#include "audio/stream/hls_stream.h"
#include "support/stream_audio.h"

namespace kovali {
namespace {

/// A stream of `silence` seconds of silence followed by a tone, cut into at least `segments`.
std::shared_ptr<HLSStream> streamWithToneAfter(const AudioFormat& format, double silence, int segments) {
  auto made = HLSStream::make(format);
  if (!made) {
    ADD_FAILURE() << made.error().message;
    return nullptr;
  }
  auto stream = std::move(made).value();
  const int frames = static_cast<int>(format.sampleRate / 100);
  const auto silentFrames = static_cast<std::int64_t>(silence * format.sampleRate);
  for (std::int64_t at = 0; !stream->data("seg" + std::to_string(segments - 1) + ".m4s"); at += frames) {
    stream->append(test::sineBuffer(format, at, frames, 440, at < silentFrames ? 0.0f : 0.5f));
  }
  return stream;
}

/// Seconds on the timeline of the first sample louder than a quarter of the tone.
double onset(const std::vector<SampleBuffer>& buffers) {
  for (const auto& buffer : buffers) {
    const auto channels = static_cast<std::size_t>(buffer.pcm->format.channels);
    for (std::size_t i = 0; i < buffer.pcm->samples.size(); i += channels) {
      if (std::abs(buffer.pcm->samples[i]) > 0.125f) {
        return (static_cast<double>(buffer.presentationTime.value) + static_cast<double>(i / channels)) /
               buffer.presentationTime.timescale;
      }
    }
  }
  return -1;
}

TEST(HLSSegmentDecoder, PlacesTheDecodedSoundOnTheStreamsTimelineWithoutGaps) {
  for (const AudioFormat format : {AudioFormat{48000, 2}, AudioFormat{44100, 1}}) {
    SCOPED_TRACE(format.description());
    auto stream = streamWithToneAfter(format, 1.5, 4);
    ASSERT_TRUE(stream);
    auto decoder = HLSSegmentDecoder::make(*stream->initialization());
    ASSERT_TRUE(decoder) << decoder.error();
    EXPECT_EQ(decoder.value()->format(), format);

    std::vector<SampleBuffer> all;
    for (int sequence = 0; sequence < 4; ++sequence) {
      auto buffers = decoder.value()->decode(*stream->data("seg" + std::to_string(sequence) + ".m4s"));
      ASSERT_TRUE(buffers) << buffers.error();
      all.insert(all.end(), buffers.value().begin(), buffers.value().end());
    }
    ASSERT_FALSE(all.empty());
    for (std::size_t i = 1; i < all.size(); ++i) {
      const auto& previous = all[i - 1];
      ASSERT_EQ(all[i].presentationTime.value, previous.presentationTime.value + previous.pcm->frameLength())
          << "buffer " << i;
    }
    EXPECT_NEAR(onset(all), 1.5, 0.003);
  }
}

TEST(HLSSegmentDecoder, RefusesWhatIsNotItsStreamWithASentence) {
  EXPECT_EQ(HLSSegmentDecoder::make(QByteArray("not a movie")).error(),
            "The stream could not be decoded (Invalid data found when processing input).");
  auto stream = streamWithToneAfter({48000, 2}, 0, 1);
  ASSERT_TRUE(stream);
  auto decoder = HLSSegmentDecoder::make(*stream->initialization());
  ASSERT_TRUE(decoder);
  const auto garbage = decoder.value()->decode(QByteArray(4000, 'x'));
  ASSERT_FALSE(garbage);
  EXPECT_EQ(garbage.error().rfind("The stream could not be decoded (", 0), 0u) << garbage.error();
}

}  // namespace
}  // namespace kovali
