#include <algorithm>
#include <filesystem>

#include <QDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "music/music_service.h"
#include "platform/library/index/library_ids.h"
#include "platform/library/local_music_library_fixture.h"
#include "support/log_capture.h"

namespace kovali {
namespace {

using ::testing::ElementsAre;

std::vector<std::string> everyID(MusicService& service) {
  std::vector<std::string> ids;
  const auto songs = await(service.searchSongs("a", 25)).value();
  const auto albums = await(service.searchAlbums("a", 25)).value();
  const auto playlists = await(service.libraryPlaylists()).value();
  for (const auto& song : songs) ids.push_back(song.id);
  for (const auto& album : albums) ids.push_back(album.id);
  for (const auto& playlist : playlists) ids.push_back(playlist.id);
  std::sort(ids.begin(), ids.end());
  return ids;
}

TEST_F(LocalMusicLibraryTest, IdsStayTheSameAfterARescanAndARestart) {
  addBand();
  auto library = open();
  MusicService service(*library);
  const auto before = everyID(service);
  ASSERT_EQ(before.size(), 4u + 3u + 2u);

  QSignalSpy finished(library.get(), &LocalMusicLibrary::scanFinished);
  library->rescan();
  EXPECT_EQ(finished.count(), 0) << "a scan's end is heard of from the event loop, however quick the scan";
  ASSERT_TRUE(finished.wait(60000));
  EXPECT_EQ(everyID(service), before) << "after a rescan";

  auto restarted = open();
  MusicService again(*restarted);
  EXPECT_EQ(everyID(again), before) << "after a restart";
  EXPECT_TRUE(await(again.song(songID("Pop/deja.ogg"))).value());
}

TEST_F(LocalMusicLibraryTest, TheCacheSparesUnchangedFilesFromBeingReadAgain) {
  addBand();
  music.addFile("broken.mp3", "not audio at all");
  EXPECT_EQ(open()->scanProgress(), (LibraryScanProgress{false, 5, 0, 5, 1}));

  EXPECT_EQ(open()->scanProgress(), (LibraryScanProgress{false, 5, 5, 0, 1})) << "second start";

  music.touch("Pop/deja.ogg", 10);
  music.addSong("Pop/new.flac", {{"title", "New"}});
  auto library = open();
  EXPECT_EQ(library->scanProgress(), (LibraryScanProgress{false, 6, 4, 2, 1})) << "one changed, one new";
  MusicService service(*library);
  EXPECT_THAT(titles(await(service.searchSongs("new", 25)).value()), ElementsAre("New"));
}

TEST_F(LocalMusicLibraryTest, ASongFromTheCacheEqualsTheSameSongReadFromItsFile) {
  addBand();
  music.addSong("Pop/explicit.flac", {{"title", "Loud"}, {"artist", "Radio"}, {"rating", "1"}});
  music.addSong("Pop/clean.ogg", {{"title", "Clean Cut"}, {"artist", "Radio"}, {"rating", "2"}});
  const std::vector<std::string> paths = {"Rock/01 Around.mp3", "Rock/02 Da Funk.flac", "Pop/deja.ogg",
                                          "Jazz/so what.m4a", "Pop/explicit.flac", "Pop/clean.ogg"};
  const auto songsOf = [&](LocalMusicLibrary& library) {
    MusicService service(library);
    std::vector<std::optional<Song>> songs;
    for (const auto& path : paths) songs.push_back(await(service.song(songID(path))).value());
    return songs;
  };

  auto scanned = open();
  const auto fromFiles = songsOf(*scanned);
  for (const auto& song : fromFiles) ASSERT_TRUE(song);
  ASSERT_EQ(fromFiles[4]->contentRating, ContentRating::explicitContent);
  ASSERT_EQ(fromFiles[5]->contentRating, ContentRating::clean);
  ASSERT_EQ(fromFiles[0]->contentRating, std::nullopt);

  auto restarted = open();
  ASSERT_EQ(restarted->scanProgress(), (LibraryScanProgress{false, 6, 6, 0, 0})) << "every song from the cache";
  EXPECT_EQ(songsOf(*restarted), fromFiles);
}

TEST_F(LocalMusicLibraryTest, ADamagedCacheIsReadAgainFromTheFiles) {
  addBand();
  open();
  for (const auto& entry : QDir(data.filePath("Music Index")).entryInfoList(QDir::Files)) {
    QFile file(entry.filePath());
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    file.resize(file.size() / 2);
  }
  auto library = open();
  EXPECT_EQ(library->scanProgress().read, 4);
  EXPECT_EQ(await(MusicService(*library).searchSongs("a", 25)).value().size(), 4u);
}

TEST_F(LocalMusicLibraryTest, BrokenFilesAreSkippedCountedAndNamed) {
  music.addSong("good.flac", {{"title", "Good"}});
  music.addFile("noise.mp3", std::string(5000, '\x5a'));
  music.addFile("empty.ogg", "");
  music.addFile("text.m4a", "hello");
  music.addFile("cover.jpg", "not listed at all");
  const LogCapture log("kovaliapp.library");
  auto library = open();
  EXPECT_EQ(library->scanProgress(), (LibraryScanProgress{false, 4, 0, 4, 3}));
  MusicService service(*library);
  EXPECT_THAT(titles(await(service.searchSongs("good", 25)).value()), ElementsAre("Good"));
  const std::string folder = QDir(music.path()).absolutePath().toStdString();
  for (const char* name : {"noise.mp3", "empty.ogg", "text.m4a"}) {
    EXPECT_TRUE(log.hasLineStartingWith("skipped " + folder + "/" + name + " - not audio that can be read")) << name;
  }
  EXPECT_FALSE(log.hasLineStartingWith("skipped " + folder + "/good.flac"));
  EXPECT_TRUE(log.hasLineStartingWith("indexed 1 song, 0 albums and 0 playlists of")) << "counts in the right number";
}

TEST_F(LocalMusicLibraryTest, LinksAreFollowedButEachFolderIsEnteredOnce) {
  music.addSong("Rock/a.flac", {{"title", "A"}});
  namespace fs = std::filesystem;
  fs::create_directory_symlink("..", music.absolute("Rock/up"));
  fs::create_directory_symlink(".", music.absolute("Rock/here"));
  fs::create_symlink("nowhere.mp3", music.absolute("dangling.mp3"));
  fs::create_symlink("loop2.mp3", music.absolute("loop1.mp3"));
  fs::create_symlink("loop1.mp3", music.absolute("loop2.mp3"));
  ASSERT_EQ(::mkfifo(music.absolute("pipe.mp3").c_str(), 0600), 0);

  auto library = open();

  EXPECT_EQ(library->scanProgress().found, 1);
  MusicService service(*library);
  EXPECT_THAT(titles(await(service.searchSongs("a", 25)).value()), ElementsAre("A"));
}

TEST_F(LocalMusicLibraryTest, AFolderReachedAlsoThroughALinkKeepsItsOwnPath) {
  music.addSong("Real/song.flac", {{"title", "Song"}});
  // "A link" sorts and is met before "Real"; the songs still take their paths from "Real".
  std::filesystem::create_directory_symlink("Real", music.absolute("A link"));
  auto library = open();
  MusicService service(*library);
  const auto found = await(service.searchSongs("song", 25)).value();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].id, songID("Real/song.flac"));
}

TEST_F(LocalMusicLibraryTest, NamesInAnyEncodingAreIndexedAndShown) {
  music.addSong("caf\xe9.flac", {});  // Latin-1 name, no title tag
  auto library = open();
  MusicService service(*library);
  const auto found = await(service.searchSongs("cafe", 25)).value();
  ASSERT_EQ(found.size(), 1u);
  EXPECT_EQ(found[0].title, "caf\xc3\xa9");
  EXPECT_EQ(found[0].artistName, "Unknown Artist");
  EXPECT_EQ(found[0].id, songID("caf\xe9.flac"));
  EXPECT_THAT(found[0].fileURL, ::testing::EndsWith("/caf%E9.flac"));
}

}  // namespace
}  // namespace kovali
