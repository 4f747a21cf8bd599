#include "platform/library/local_music_library.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "music/music_service.h"
#include "platform/library/index/library_ids.h"
#include "platform/library/local_music_library_fixture.h"

namespace kovali {
namespace {

using ::testing::IsEmpty;
using Source = vinaro::PlaylistRef::Source;

TEST_F(LocalMusicLibraryTest, SearchFindsSongsByTitleArtistAndAlbumIgnoringCaseAndAccents) {
  addBand();
  auto library = open();
  MusicService service(*library);

  struct Case {
    const char* term;
    std::vector<std::string> titles;
  } cases[] = {
      {"around", {"Around the World"}},
      {"daft punk", {"Around the World", "Da Funk"}},
      {"HOMEWORK", {"Around the World", "Da Funk"}},
      {"beyonce", {"Déjà Vu"}},
      {"deja vu", {"Déjà Vu"}},
      {"  Kind of BLUE ", {"So What"}},
      {"da funk", {"Da Funk"}},
      {"nothing like it", {}},
  };
  for (const auto& c : cases) {
    const auto found = await(service.searchSongs(c.term, 25));
    ASSERT_TRUE(found) << c.term;
    EXPECT_EQ(titles(found.value()), c.titles) << c.term;
  }
  EXPECT_EQ(await(service.searchSongs("daft", 1)).value().size(), 1u);
}

TEST_F(LocalMusicLibraryTest, SearchFindsAlbumsAndPlaylists) {
  addBand();
  auto library = open();
  MusicService service(*library);

  const auto albums = await(service.searchAlbums("homework", 25)).value();
  ASSERT_EQ(albums.size(), 1u);
  EXPECT_EQ(albums[0].title, "Homework");
  EXPECT_EQ(albums[0].artistName, "Daft Punk");
  EXPECT_EQ(albums[0].trackCount, 2);
  EXPECT_EQ(albums[0].id, albumID("Daft Punk", "Homework"));

  const auto playlists = await(service.searchPlaylists("mix", 25)).value();
  ASSERT_EQ(playlists.size(), 1u);
  EXPECT_EQ(playlists[0].name, "Mix");
  EXPECT_EQ(playlists[0].id, playlistID("Lists/Mix.m3u8"));
}

TEST_F(LocalMusicLibraryTest, SongsCarryTheirTagsAndWhereToPlayThemFrom) {
  addBand();
  auto library = open();
  MusicService service(*library);

  const auto song = await(service.song(songID("Jazz/so what.m4a"))).value();
  ASSERT_TRUE(song);
  EXPECT_EQ(song->title, "So What");
  EXPECT_EQ(song->artistName, "Miles Davis");
  EXPECT_EQ(song->albumTitle, "Kind of Blue");
  ASSERT_TRUE(song->duration);
  EXPECT_NEAR(*song->duration, 0.5, 0.1);
  EXPECT_EQ(song->fileURL, "file://" + QUrl::toPercentEncoding(music.path() + "/Jazz/so what.m4a", "/").toStdString());
  // Phones cannot open addresses on this computer, so a song offers no artwork.
  EXPECT_FALSE(MusicService::track(*song).artworkURLTemplate);

  EXPECT_FALSE(await(service.song("0000000000000000")).value());
}

TEST_F(LocalMusicLibraryTest, AlbumsListTheirSongsByTrackNumber) {
  addBand();
  auto library = open();
  MusicService service(*library);
  const auto songs = await(service.tracks(ref(Source::album, albumID("Daft Punk", "Homework")), 500)).value();
  EXPECT_EQ(titles(songs), (std::vector<std::string>{"Da Funk", "Around the World"}));
}

TEST_F(LocalMusicLibraryTest, PlaylistsComeFromM3UFilesSortedByNameWithEntriesOutsideOrMissingSkipped) {
  addBand();
  auto library = open(settings(), 1);  // one playlist per batch
  MusicService service(*library);

  const auto playlists = await(service.libraryPlaylists()).value();
  ASSERT_EQ(playlists.size(), 2u);
  EXPECT_EQ(playlists[0].name, "Another List");
  EXPECT_EQ(playlists[1].name, "Mix");

  const std::string mix = playlistID("Lists/Mix.m3u8");
  EXPECT_EQ(titles(await(service.tracks(ref(Source::library, mix), 500)).value()),
            (std::vector<std::string>{"Déjà Vu", "Around the World"}));
  EXPECT_EQ(titles(await(service.tracks(ref(Source::catalog, mix), 1)).value()),
            (std::vector<std::string>{"Déjà Vu"}));
  EXPECT_THAT(await(service.tracks(ref(Source::library, "0000000000000000"), 500)).value(), IsEmpty());
}

TEST_F(LocalMusicLibraryTest, RequestsMadeBeforeTheFirstScanWaitForIt) {
  addBand();
  LocalMusicLibrary library(settings());
  MusicService service(library);
  QSignalSpy progress(&library, &LocalMusicLibrary::scanProgressChanged);

  auto first = startTask(service.searchSongs("daft", 25));
  auto second = startTask(service.libraryPlaylists());
  EXPECT_TRUE(library.scanProgress().scanning);
  ASSERT_TRUE(QTest::qWaitFor([&] { return first->has_value() && second->has_value(); }, 60000));

  EXPECT_EQ((*first)->value().size(), 2u);
  EXPECT_EQ((*second)->value().size(), 2u);
  EXPECT_GE(progress.count(), 2);
  EXPECT_FALSE(library.scanProgress().scanning);
}

TEST_F(LocalMusicLibraryTest, ClosingDuringAScanStopsIt) {
  for (int i = 0; i < 40; ++i) music.addSong("many/" + std::to_string(i) + ".flac", {{"title", "T"}});
  auto library = std::make_unique<LocalMusicLibrary>(settings());
  auto pending = startTask(library->search(MusicSearchRequest{"t", MusicItemKind::songs, 25}));
  library.reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return pending->has_value(); }, 60000));
  EXPECT_FALSE(**pending);
}

}  // namespace
}  // namespace kovali
