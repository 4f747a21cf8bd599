#include "platform/library/audio_tag_reader.h"

#include <gtest/gtest.h>

#include "support/music_folder_builder.h"

namespace kovali {
namespace {

TEST(AudioTagReader, ReadsTagsAndLengthOfEveryCommonFormat) {
  MusicFolderBuilder folder;
  const MusicFolderBuilder::Tags tags = {{"title", "Déjà Vu"}, {"artist", "Beyoncé"}, {"album", "B'Day"},
                                         {"album_artist", "Various"}, {"track", "3/12"}, {"disc", "2/2"}};
  for (const char* extension : {"mp3", "m4a", "flac", "ogg", "opus", "wav"}) {
    const std::string name = std::string("song.") + extension;
    folder.addSong(name, tags, 4);  // 1 s
    const auto read = readAudioTags(folder.absolute(name));
    ASSERT_TRUE(read) << extension;
    EXPECT_EQ(read->title, "Déjà Vu") << extension;
    EXPECT_EQ(read->artist, "Beyoncé") << extension;
    EXPECT_EQ(read->album, "B'Day") << extension;
    EXPECT_EQ(read->trackNumber, 3) << extension;
    ASSERT_TRUE(read->duration) << extension;
    EXPECT_NEAR(*read->duration, 1.0, 0.1) << extension;
    if (std::string(extension) != "wav") {  // RIFF INFO has neither field
      EXPECT_EQ(read->albumArtist, "Various") << extension;
      EXPECT_EQ(read->discNumber, 2) << extension;
    }
  }
}

TEST(AudioTagReader, ReadsTheAdvisoryRating) {
  MusicFolderBuilder folder;
  struct Case {
    const char* code;
    std::optional<ContentRating> rating;
  } cases[] = {{"1", ContentRating::explicitContent}, {"2", ContentRating::clean}, {"0", std::nullopt}};
  for (const auto& c : cases) {
    folder.addSong("rated.flac", {{"title", "T"}, {"ITUNESADVISORY", c.code}});
    const auto read = readAudioTags(folder.absolute("rated.flac"));
    ASSERT_TRUE(read) << c.code;
    EXPECT_EQ(read->contentRating, c.rating) << c.code;
  }
}

TEST(AudioTagReader, AnUntaggedFileHasEmptyTags) {
  MusicFolderBuilder folder;
  folder.addSong("plain.flac", {});
  const auto read = readAudioTags(folder.absolute("plain.flac"));
  ASSERT_TRUE(read);
  EXPECT_EQ(read->title, "");
  EXPECT_EQ(read->trackNumber, 0);
  EXPECT_FALSE(read->contentRating);
}

TEST(AudioTagReader, RefusesFilesWithoutReadableAudio) {
  MusicFolderBuilder folder;
  folder.addSong("real.flac", {{"title", "T"}}, 8);
  const std::string flac = folder.contents("real.flac");
  std::string noise;
  for (int i = 0; i < 20000; ++i) noise += static_cast<char>((i * 7919 + 13) % 251);

  struct Case {
    const char* name;
    std::string file;
    std::string bytes;
  } cases[] = {
      {"empty", "empty.mp3", ""},
      {"text", "notes.mp3", "These are not the songs you are looking for.\n"},
      {"noise", "noise.mp3", noise},
      {"noise as ogg", "noise.ogg", noise},
      {"flac cut inside its header", "cut.flac", flac.substr(0, 20)},
  };
  for (const auto& c : cases) {
    folder.addFile(c.file, c.bytes);
    EXPECT_FALSE(readAudioTags(folder.absolute(c.file))) << c.name;
  }
  EXPECT_FALSE(readAudioTags(folder.absolute("missing.mp3")));
}

TEST(AudioTagReader, ReadsATruncatedOrMislabelledFileThatStillHoldsAudio) {
  MusicFolderBuilder folder;
  folder.addSong("real.flac", {{"title", "Cut short"}}, 8);
  const std::string flac = folder.contents("real.flac");
  folder.addFile("half.flac", flac.substr(0, flac.size() / 2));
  folder.addFile("flac named.mp3", flac);
  EXPECT_EQ(readAudioTags(folder.absolute("half.flac"))->title, "Cut short");
  EXPECT_EQ(readAudioTags(folder.absolute("flac named.mp3"))->title, "Cut short");
}

}  // namespace
}  // namespace kovali
