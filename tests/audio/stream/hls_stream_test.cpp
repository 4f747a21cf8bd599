#include "audio/stream/hls_stream.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "support/stream_audio.h"

namespace kovali {
namespace {

using test::sineBuffer;

const AudioFormat stereo48k{48000, 2};

std::shared_ptr<HLSStream> makeStream(const AudioFormat& format) {
  auto made = HLSStream::make(format);
  if (!made) {
    ADD_FAILURE() << made.error().message;
    return nullptr;
  }
  return std::move(made).value();
}

std::string text(const std::optional<QByteArray>& bytes) { return bytes ? bytes->toStdString() : "(none)"; }

TEST(HLSStream, KeepsTheTenNewestSegmentsAndListsThemInTheLivePlaylist) {
  auto stream = makeStream(stereo48k);
  ASSERT_TRUE(stream);
  const double seconds = test::appendSineUntil(*stream, 11, 440, 0.5f);
  EXPECT_LT(seconds, 12.2);

  EXPECT_EQ(stream->segmentCount(), 10u);
  // 47 AAC frames of 1024 samples make the first segment of at least a second at 48 kHz.
  std::string expected =
      "#EXTM3U\n#EXT-X-VERSION:7\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:2\n"
      "#EXT-X-INDEPENDENT-SEGMENTS\n#EXT-X-MAP:URI=\"init.mp4\"\n";
  for (int sequence = 2; sequence <= 11; ++sequence) {
    expected += "#EXTINF:1.00267,\nseg" + std::to_string(sequence) + ".m4s\n";
  }
  EXPECT_EQ(text(stream->playlist()), expected);
  EXPECT_FALSE(stream->data("seg1.m4s"));
  EXPECT_TRUE(stream->data("seg2.m4s"));
  EXPECT_EQ(stream->data("init.mp4"), stream->initialization());
  EXPECT_FALSE(stream->data("seg2"));
  EXPECT_FALSE(stream->data("../seg2.m4s"));
}

TEST(HLSStream, SegmentsDecodeToTheToneAtItsLevel) {
  auto stream = makeStream(stereo48k);
  ASSERT_TRUE(stream);
  test::appendSineUntil(*stream, 3, 440, 0.5f);
  const auto decoded =
      test::decodeSegments(*stream->initialization(), {*stream->data("seg2.m4s"), *stream->data("seg3.m4s")});
  ASSERT_EQ(decoded.error, "");
  EXPECT_EQ(decoded.sampleRate, 48000);
  EXPECT_EQ(decoded.channels, 2);
  EXPECT_NEAR(static_cast<double>(decoded.firstChannel.size()), 2 * 48128, 2048);
  EXPECT_NEAR(test::toneFrequency(decoded.firstChannel, 48000), 440, 3);
  EXPECT_NEAR(test::rootMeanSquare(decoded.firstChannel), 0.5 / std::sqrt(2), 0.02);
}

TEST(HLSStream, EncodesAtTheKeptRateAndAtMostTwoChannels) {
  struct Case {
    const char* name;
    AudioFormat source;
    int rate;
    int channels;
  };
  const Case cases[] = {
      {"44.1 kHz stereo is kept", {44100, 2}, 44100, 2},
      {"96 kHz becomes 48 kHz", {96000, 2}, 48000, 2},
      {"22.05 kHz mono becomes 48 kHz mono", {22050, 1}, 48000, 1},
      {"six channels become two", {48000, 6}, 48000, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto stream = makeStream(c.source);
    ASSERT_TRUE(stream);
    std::vector<std::int64_t> starts;
    stream->onBuffer = [&](const SharedPCMBuffer&, std::int64_t start) { starts.push_back(start); };
    test::appendSineUntil(*stream, 1, 1000, 0.3f);
    const auto decoded =
        test::decodeSegments(*stream->initialization(), {*stream->data("seg0.m4s"), *stream->data("seg1.m4s")});
    ASSERT_EQ(decoded.error, "");
    EXPECT_EQ(decoded.sampleRate, c.rate);
    EXPECT_EQ(decoded.channels, c.channels);
    EXPECT_NEAR(test::toneFrequency(decoded.firstChannel, decoded.sampleRate), 1000, 5);
    // The timeline counts the source's own frames, 10 ms a buffer.
    ASSERT_GE(starts.size(), 3u);
    EXPECT_EQ(starts[2], 2 * static_cast<std::int64_t>(c.source.sampleRate / 100));
  }
}

TEST(HLSStream, RefusesFormatsItCannotEncodeWithASentence) {
  struct Case {
    AudioFormat format;
    const char* message;
  };
  const Case cases[] = {
      {{0, 2}, "The encoder does not accept 0 Hz, 2 channels, 32-bit float."},
      {{48000, 0}, "The encoder does not accept 48000 Hz, 0 channels, 32-bit float."},
      {{44100.5, 1}, "The encoder does not accept 44100.5 Hz, 1 channel, 32-bit float."},
      {{std::numeric_limits<double>::infinity(), 2}, "The encoder does not accept inf Hz, 2 channels, 32-bit float."},
  };
  for (const auto& c : cases) {
    const auto made = HLSStream::make(c.format);
    ASSERT_FALSE(made) << c.message;
    EXPECT_EQ(made.error().description(), c.message);
  }
}

TEST(HLSStream, HandsEachAcceptedBufferOnWithItsPlaceOnTheTimeline) {
  auto stream = makeStream(stereo48k);
  ASSERT_TRUE(stream);
  std::vector<std::pair<const PCMBuffer*, std::int64_t>> handed;
  stream->onBuffer = [&](const SharedPCMBuffer& buffer, std::int64_t start) {
    handed.emplace_back(buffer.get(), start);
  };

  const auto first = sineBuffer(stereo48k, 0, 480, 440, 0.5f);
  const auto empty = sineBuffer(stereo48k, 0, 0, 440, 0.5f);
  const auto otherFormat = sineBuffer({44100, 2}, 0, 441, 440, 0.5f);
  const auto second = sineBuffer(stereo48k, 480, 256, 440, 0.5f);
  for (const auto& buffer : {first, empty, otherFormat, second}) stream->append(buffer);

  // The same buffers, never copies; the empty and the foreign one leave no gap.
  ASSERT_EQ(handed.size(), 2u);
  EXPECT_EQ(handed[0], std::make_pair(first.get(), std::int64_t{0}));
  EXPECT_EQ(handed[1], std::make_pair(second.get(), std::int64_t{480}));
  const auto health = stream->writerHealth();
  EXPECT_EQ(health.framesAppended, 736);
  EXPECT_EQ(health.writerError, "The encoder refused a buffer.");
}

TEST(HLSStream, CountsSoundOnlyInEverySixteenthFrameOfTheFirstChannel) {
  struct Case {
    const char* name;
    std::size_t loudFrame;  // none past the end
    int loudChannel;
    bool sound;
  };
  const Case cases[] = {
      {"silence", 1000, 0, false},
      {"loud at frame 16", 16, 0, true},
      {"loud only at frame 17", 17, 0, false},
      {"loud only in the second channel", 32, 1, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    auto stream = makeStream(stereo48k);
    ASSERT_TRUE(stream);
    auto silent = std::make_shared<PCMBuffer>(PCMBuffer{stereo48k, std::vector<float>(2 * 480, 0.001f)});
    auto probe = std::make_shared<PCMBuffer>(PCMBuffer{stereo48k, std::vector<float>(2 * 480, 0.0f)});
    if (c.loudFrame < 480) probe->samples[c.loudFrame * 2 + static_cast<std::size_t>(c.loudChannel)] = -0.0021f;
    stream->append(silent);
    stream->append(probe);
    stream->append(silent);
    const auto health = stream->writerHealth();
    EXPECT_EQ(health.framesAppended, 1440);
    EXPECT_EQ(health.framesAtLastSound, c.sound ? 960 : -1);
  }
}

TEST(HLSStream, AfterFinishNothingIsAcceptedAndTheSegmentsStayReadable) {
  auto stream = makeStream(stereo48k);
  ASSERT_TRUE(stream);
  int handed = 0;
  stream->onBuffer = [&](const SharedPCMBuffer&, std::int64_t) { ++handed; };
  test::appendSineUntil(*stream, 0, 440, 0.5f);
  const auto before = stream->writerHealth();
  const int handedBefore = handed;

  stream->finish();
  stream->append(sineBuffer(stereo48k, before.framesAppended, 48000 * 2, 440, 0.5f));

  EXPECT_EQ(stream->writerHealth().framesAppended, before.framesAppended);
  EXPECT_EQ(handed, handedBefore);
  EXPECT_EQ(stream->writerHealth().writerError, std::nullopt);
  EXPECT_TRUE(stream->data("seg0.m4s"));
  EXPECT_FALSE(stream->data("seg1.m4s"));
  EXPECT_TRUE(stream->playlist());
}

TEST(HLSStream, StoresDeliveredSegmentsWithTheirReportedDurations) {
  auto stream = makeStream(stereo48k);
  ASSERT_TRUE(stream);
  using Type = HLSStream::SegmentType;
  using Report = HLSStream::SegmentReport;
  EXPECT_FALSE(stream->data("init.mp4"));  // the encoder hands it out with the first media segment
  stream->didOutputSegment(Type::initialization, "init", std::nullopt);
  EXPECT_FALSE(stream->playlist());
  EXPECT_EQ(text(stream->data("init.mp4")), "init");

  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  stream->didOutputSegment(Type::media, "a", std::nullopt);
  stream->didOutputSegment(Type::media, "b", Report{});
  stream->didOutputSegment(Type::media, "c", Report{{0}});
  stream->didOutputSegment(Type::media, "d", Report{{nan}});
  stream->didOutputSegment(Type::media, "e", Report{{inf, 2}});
  stream->didOutputSegment(Type::media, "f", Report{{-1}});
  stream->didOutputSegment(static_cast<Type>(3), "ignored", Report{{5}});
  stream->didOutputSegment(Type::media, "g", Report{{0.5, 9}});
  stream->didOutputSegment(Type::initialization, "init2", std::nullopt);

  std::string expected =
      "#EXTM3U\n#EXT-X-VERSION:7\n#EXT-X-TARGETDURATION:1\n#EXT-X-MEDIA-SEQUENCE:0\n"
      "#EXT-X-INDEPENDENT-SEGMENTS\n#EXT-X-MAP:URI=\"init.mp4\"\n";
  for (int sequence = 0; sequence < 6; ++sequence) {
    expected += "#EXTINF:1.00000,\nseg" + std::to_string(sequence) + ".m4s\n";
  }
  expected += "#EXTINF:0.50000,\nseg6.m4s\n";
  EXPECT_EQ(text(stream->playlist()), expected);
  EXPECT_EQ(text(stream->data("seg6.m4s")), "g");
  EXPECT_EQ(text(stream->initialization()), "init2");
  EXPECT_EQ(stream->segmentCount(), 7u);
}

TEST(HLSStream, TargetDurationIsTheLongestSegmentRoundedUp) {
  struct Case {
    std::vector<double> durations;
    const char* target;
    const char* firstLine;
  };
  const Case cases[] = {
      {{0.5, 0.9}, "#EXT-X-TARGETDURATION:1\n", "#EXTINF:0.50000,\n"},
      {{1.024, 1.024, 1.024}, "#EXT-X-TARGETDURATION:2\n", "#EXTINF:1.02400,\n"},
      {{1.0, 3.0}, "#EXT-X-TARGETDURATION:3\n", "#EXTINF:1.00000,\n"},
      {{0.0001}, "#EXT-X-TARGETDURATION:1\n", "#EXTINF:0.00010,\n"},
  };
  for (const auto& c : cases) {
    auto stream = makeStream(stereo48k);
    ASSERT_TRUE(stream);
    stream->didOutputSegment(HLSStream::SegmentType::initialization, "init", std::nullopt);
    for (double duration : c.durations) {
      stream->didOutputSegment(HLSStream::SegmentType::media, "m", HLSStream::SegmentReport{{duration}});
    }
    const auto playlist = text(stream->playlist());
    EXPECT_NE(playlist.find(c.target), std::string::npos) << playlist;
    EXPECT_NE(playlist.find(std::string("URI=\"init.mp4\"\n") + c.firstLine), std::string::npos) << playlist;
  }
}

}  // namespace
}  // namespace kovali
