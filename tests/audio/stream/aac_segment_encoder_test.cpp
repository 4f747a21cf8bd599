#include "audio/stream/aac_segment_encoder.h"

#include <gtest/gtest.h>

extern "C" {
#include <libavformat/avio.h>
#include <libavutil/error.h>
}

#include "support/stream_audio.h"

namespace kovali {

/// Makes the encoder's output fail from now on, as a write that ran out of memory would.
struct AACSegmentEncoderTestAccess {
  static void failOutput(AACSegmentEncoder& encoder) { encoder.io_->write_packet = &refuse; }
  static int refuse(void*, std::uint8_t*, int) { return AVERROR(EIO); }
};

namespace {

const AudioFormat stereo48k{48000, 2};

/// Appends up to `seconds` of a tone in 10 ms buffers; stops at the first refused buffer.
std::vector<AACSegmentEncoder::Output> appendTone(AACSegmentEncoder& encoder, int seconds, bool& refused) {
  std::vector<AACSegmentEncoder::Output> out;
  refused = false;
  for (int buffer = 0; buffer < seconds * 100 && !refused; ++buffer) {
    const auto pcm = test::sineBuffer(stereo48k, buffer * 480, 480, 440, 0.5f);
    const auto sample = makeSampleBuffer(pcm, {buffer * 480, 48000});
    refused = !sample || !encoder.append(*sample, out);
  }
  return out;
}

TEST(AACSegmentEncoder, CutsAboutOneSecondSegmentsAfterTheInitializationSegment) {
  auto made = AACSegmentEncoder::make(stereo48k);
  ASSERT_TRUE(made) << made.error();
  auto& encoder = *made.value();
  bool refused = false;
  const auto out = appendTone(encoder, 3, refused);
  EXPECT_FALSE(refused);
  ASSERT_GE(out.size(), 2u);
  EXPECT_EQ(out[0].type, AACSegmentEncoder::Output::Type::initialization);
  for (std::size_t i = 1; i < out.size(); ++i) {
    EXPECT_EQ(out[i].type, AACSegmentEncoder::Output::Type::media);
    EXPECT_NEAR(out[i].duration, 1.0, 0.05);
    EXPECT_FALSE(out[i].data.isEmpty());
  }
}

TEST(AACSegmentEncoder, ASegmentThatCannotBeWrittenFailsTheEncoderWithASentence) {
  auto made = AACSegmentEncoder::make(stereo48k);
  ASSERT_TRUE(made) << made.error();
  auto& encoder = *made.value();
  AACSegmentEncoderTestAccess::failOutput(encoder);

  bool refused = false;
  const auto out = appendTone(encoder, 3, refused);
  EXPECT_TRUE(refused) << "the buffer that completed the segment is refused";
  EXPECT_TRUE(out.empty()) << "no segment is handed out half written";
  EXPECT_EQ(encoder.status(), AACSegmentEncoder::Status::failed);
  ASSERT_TRUE(encoder.error().has_value());
  EXPECT_EQ(encoder.error()->rfind("The encoder failed: writing a segment failed (", 0), 0u) << *encoder.error();
}

}  // namespace
}  // namespace kovali
