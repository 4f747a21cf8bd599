#include <gtest/gtest.h>

#include "platform/library/file_url.h"

namespace kovali {
namespace {

TEST(FileURL, TakesAPathOrAFileURL) {
  EXPECT_EQ(localPath("/music/a b.mp3"), "/music/a b.mp3");
  EXPECT_EQ(localPath("file:///music/a%20b.mp3"), "/music/a b.mp3");
}

TEST(FileURL, AnyFileNameSurvivesTheRoundTripThroughItsAddress) {
  for (const std::string path : {"/music/a b.mp3", "/music/100% #1?.flac", "/music/Zo\xC3\xA9/caf\xC3\xA9.ogg",
                                 "/music/a+b;c=d&e.m4a", "/music/\xE9t\xE9.mp3"}) {
    const std::string address = fileURL(path);
    EXPECT_TRUE(address.starts_with("file:///")) << path;
    EXPECT_EQ(address.find(' '), std::string::npos) << path;
    EXPECT_EQ(localPath(address), path) << path;
  }
}

}  // namespace
}  // namespace kovali
