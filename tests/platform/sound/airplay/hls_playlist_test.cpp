#include "platform/sound/airplay/hls_playlist.h"

#include <gtest/gtest.h>

namespace kovali {
namespace {

TEST(HLSPlaylist, ReadsALivePlaylistWithItsSequenceMapAndDurations) {
  const auto parsed = HLSPlaylist::parse(
      "#EXTM3U\r\n#EXT-X-VERSION:7\n#EXT-X-TARGETDURATION:2\n#EXT-X-MEDIA-SEQUENCE:7\n"
      "#EXT-X-INDEPENDENT-SEGMENTS\n#EXT-X-MAP:URI=\"init.mp4\"\n#EXTINF:1.00267,\nseg7.m4s\n"
      "#EXTINF:0.5,\nseg8.m4s\n");
  ASSERT_TRUE(parsed) << parsed.error();
  const auto& playlist = parsed.value();
  EXPECT_EQ(playlist.mapURI, "init.mp4");
  EXPECT_FALSE(playlist.ended);
  EXPECT_EQ(playlist.segments,
            (std::vector<HLSPlaylist::Segment>{{7, 1.00267, "seg7.m4s"}, {8, 0.5, "seg8.m4s"}}));
  EXPECT_EQ(playlist.offsetOf(7), 0.0);
  EXPECT_EQ(playlist.offsetOf(8), 1.00267);
  EXPECT_EQ(playlist.offsetOf(6), std::nullopt) << "left the playlist";
  EXPECT_EQ(playlist.offsetOf(9), std::nullopt) << "not listed yet";
  EXPECT_DOUBLE_EQ(playlist.duration(), 1.50267);
  EXPECT_TRUE(HLSPlaylist::parse("#EXTM3U\n#EXTINF:1,\na.m4s\n#EXT-X-ENDLIST\n").value().ended);
}

TEST(HLSPlaylist, RefusesWhatItCannotPlayWithASentence) {
  struct Case {
    const char* text;
    const char* sentence;
  } cases[] = {
      {"", "The stream's playlist is empty."},
      {"<html>", "The stream's playlist is not an HLS playlist."},
      {"#EXTM3U\nseg0.m4s\n", "The stream's playlist has a segment without a duration."},
      {"#EXTM3U\n#EXTINF:-1,\nseg0.m4s\n", "The stream's playlist has a segment with an invalid duration."},
      {"#EXTM3U\n#EXTINF:x,\nseg0.m4s\n", "The stream's playlist has a segment with an invalid duration."},
      {"#EXTM3U\n#EXT-X-MEDIA-SEQUENCE:-3\n", "The stream's playlist has an invalid media sequence."},
      {"#EXTM3U\n#EXT-X-MEDIA-SEQUENCE:9223372036854775806\n#EXTINF:1,\nseg0.m4s\n#EXTINF:1,\nseg1.m4s\n",
       "The stream's playlist has an invalid media sequence."},
      {"#EXTM3U\n#EXT-X-MAP:BYTERANGE=\"1@0\"\n", "The stream's playlist names no initialization segment."},
  };
  for (const auto& c : cases) {
    const auto parsed = HLSPlaylist::parse(c.text);
    ASSERT_FALSE(parsed) << c.text;
    EXPECT_EQ(parsed.error(), c.sentence) << c.text;
  }
}

}  // namespace
}  // namespace kovali
