#include "platform/runtime/ffmpeg_log.h"

#include <gtest/gtest.h>

#include <memory>

#include "support/log_capture.h"

extern "C" {
#include <libavformat/avformat.h>
}

namespace kovali {
namespace {

struct ContextFree {
  void operator()(AVFormatContext* context) const { avformat_free_context(context); }
};

class FFmpegLogTest : public ::testing::Test {
 protected:
  void SetUp() override { keepFFmpegQuiet(); }

  LogCapture log{"kovaliapp.ffmpeg"};
};

TEST_F(FFmpegLogTest, AnErrorAboutAContainerNamesItsFile) {
  std::unique_ptr<AVFormatContext, ContextFree> context(avformat_alloc_context());
  context->url = av_strdup("file:/music/Broken Song.mp3");
  av_log(context.get(), AV_LOG_ERROR, "Failed to read frame size: Could not seek to %d.\n", 1026);
  ASSERT_EQ(log.lines().size(), 1u);
  const std::string& line = log.lines()[0];
  EXPECT_TRUE(line.starts_with("/music/Broken Song.mp3 (")) << line;
  EXPECT_TRUE(line.ends_with("): Failed to read frame size: Could not seek to 1026.")) << line;
}

TEST_F(FFmpegLogTest, AMessageInPiecesIsOneLineAndADecodersMessageNamesTheFileBeingRead) {
  const FFmpegLogFile reading("/music/b.flac");
  av_log(nullptr, AV_LOG_ERROR, "invalid ");
  EXPECT_TRUE(log.lines().empty()) << "half a line waits for the rest";
  av_log(nullptr, AV_LOG_ERROR, "frame header\n");
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0], "/music/b.flac (ffmpeg): invalid frame header");
}

TEST_F(FFmpegLogTest, AMessageTooLongToKeepWholeIsStillOneLineAndTheNextStandsAlone) {
  const FFmpegLogFile reading("/music/c.flac");
  const std::string longText(2000, 'x');
  av_log(nullptr, AV_LOG_ERROR, "%s\n", longText.c_str());
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_TRUE(log.lines()[0].starts_with("/music/c.flac (ffmpeg): xxx")) << log.lines()[0];

  av_log(nullptr, AV_LOG_ERROR, "invalid frame header\n");
  ASSERT_EQ(log.lines().size(), 2u);
  EXPECT_EQ(log.lines()[1], "/music/c.flac (ffmpeg): invalid frame header");
}

TEST_F(FFmpegLogTest, ChatterBelowErrorsIsDropped) {
  for (int level : {AV_LOG_WARNING, AV_LOG_INFO, AV_LOG_VERBOSE, AV_LOG_DEBUG}) {
    av_log(nullptr, level, "Format mp3 detected only with low score of 1, misdetection possible!\n");
  }
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace kovali
