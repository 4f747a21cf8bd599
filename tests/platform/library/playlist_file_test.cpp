#include "platform/library/playlist_file.h"

#include <set>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kovali {
namespace {

const std::set<std::string> kLibrary = {"Rock/a.mp3", "Rock/b c.flac", "top.ogg", "Jazz/caf\xc3\xa9.m4a",
                                        "Old/caf\xe9.mp3"};

std::vector<std::string> read(const std::string& contents, const std::string& playlistPath = "Lists/mix.m3u") {
  return readPlaylist(contents, playlistPath, "/music", [](const std::string& path) { return kLibrary.contains(path); });
}

TEST(PlaylistFile, ResolvesEntriesInsideTheLibrary) {
  struct Case {
    const char* name;
    std::string line;
    std::vector<std::string> expected;
  } cases[] = {
      {"relative to the playlist", "../Rock/a.mp3", {"Rock/a.mp3"}},
      {"absolute inside", "/music/Rock/b c.flac", {"Rock/b c.flac"}},
      {"file address, percent-encoded", "file:///music/Rock/b%20c.flac", {"Rock/b c.flac"}},
      {"file address with a host", "file://localhost/music/top.ogg", {"top.ogg"}},
      {"dots on the way", "./../Rock/./x/../a.mp3", {"Rock/a.mp3"}},
      {"windows separators", "..\\Rock\\a.mp3", {"Rock/a.mp3"}},
      {"utf-8 name", "../Jazz/caf\xc3\xa9.m4a", {"Jazz/caf\xc3\xa9.m4a"}},
      {"latin-1 line for a utf-8 name", "../Jazz/caf\xe9.m4a", {"Jazz/caf\xc3\xa9.m4a"}},
      {"latin-1 name as on disk", "../Old/caf\xe9.mp3", {"Old/caf\xe9.mp3"}},
      {"spaces and carriage return around", "  ../top.ogg \r", {"top.ogg"}},
      {"comment", "#EXTINF:123,Artist - Title", {}},
      {"missing file", "../Rock/gone.mp3", {}},
      {"outside the library by climbing", "../../etc/passwd", {}},
      {"outside the library by climbing back in", "../../music/top.ogg", {}},
      {"absolute outside", "/etc/top.ogg", {}},
      {"absolute prefix that is not the folder", "/music2/top.ogg", {}},
      {"web address", "http://example.com/top.ogg", {}},
      {"empty", "", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(read(c.line), c.expected) << c.name;
}

TEST(PlaylistFile, KeepsOrderAndRepeatsAndSkipsAByteOrderMark) {
  const std::string contents = "\xEF\xBB\xBF#EXTM3U\r\n../top.ogg\r\n\r\n../Rock/a.mp3\n../top.ogg";
  EXPECT_THAT(read(contents), ::testing::ElementsAre("top.ogg", "Rock/a.mp3", "top.ogg"));
}

TEST(PlaylistFile, ReadsAPlaylistAtTheTopOfTheLibrary) {
  EXPECT_THAT(read("Rock/a.mp3\n../outside.mp3", "mix.m3u8"), ::testing::ElementsAre("Rock/a.mp3"));
}

}  // namespace
}  // namespace kovali
