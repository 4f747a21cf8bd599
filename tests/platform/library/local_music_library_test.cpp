#include "platform/library/local_music_library.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include <QDir>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "music/music_service.h"
#include "platform/library/demo_library.h"
#include "platform/library/index/library_ids.h"
#include "support/log_capture.h"
#include "support/music_folder_builder.h"
#include "support/task_result.h"

namespace kovali {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::UnorderedElementsAre;
using Source = vinaro::PlaylistRef::Source;

template <class T>
T await(QCoro::Task<T> task) {
  auto result = waitForResult(std::move(task));
  if (!result) throw std::runtime_error("the request did not end");
  return std::move(*result);
}

std::vector<std::string> titles(const std::vector<Song>& songs) {
  std::vector<std::string> result;
  for (const auto& song : songs) result.push_back(song.title);
  return result;
}

vinaro::PlaylistRef ref(Source source, const std::string& id) {
  return vinaro::PlaylistRef{source, id, "", std::nullopt, std::nullopt, std::nullopt};
}

class LocalMusicLibraryTest : public ::testing::Test {
 protected:
  LibraryScanSettings settings(bool demo = false) const { return {music.path(), true, data.path(), demo}; }

  /// A library over the test's folder, its first scan ended.
  std::unique_ptr<LocalMusicLibrary> open(LibraryScanSettings scan, int batchSize = 100) {
    auto library = std::make_unique<LocalMusicLibrary>(std::move(scan), batchSize);
    QSignalSpy finished(library.get(), &LocalMusicLibrary::scanFinished);
    library->rescan();
    if (!finished.wait(60000)) throw std::runtime_error("the scan did not end");
    return library;
  }
  std::unique_ptr<LocalMusicLibrary> open() { return open(settings()); }

  void addBand() {
    music.addSong("Rock/01 Around.mp3", {{"title", "Around the World"}, {"artist", "Daft Punk"},
                                         {"album", "Homework"}, {"track", "7"}});
    music.addSong("Rock/02 Da Funk.flac",
                  {{"title", "Da Funk"}, {"artist", "Daft Punk"}, {"album", "Homework"}, {"track", "3/16"}});
    music.addSong("Pop/deja.ogg", {{"title", "Déjà Vu"}, {"artist", "Beyoncé"}, {"album", "B'Day"}});
    music.addSong("Jazz/so what.m4a", {{"title", "So What"}, {"artist", "Miles Davis"}, {"album", "Kind of Blue"},
                                       {"rating", "1"}});
    music.addFile("Lists/Mix.m3u8", "#EXTM3U\n../Pop/deja.ogg\n../Rock/gone.mp3\n/etc/passwd\n"
                                    "../../outside.mp3\nhttp://example.com/x.mp3\n../Rock/01 Around.mp3\n");
    music.addFile("Another List.m3u", "Jazz/so what.m4a\n");
  }

  MusicFolderBuilder music;
  QTemporaryDir data;
};

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

TEST_F(LocalMusicLibraryTest, AFolderThatCannotBeUsedFailsWithASentenceNamingIt) {
  music.addFile("just a file", "x");
  const QString file = QDir(music.path()).filePath("just a file");
  const QString missing = QDir(music.path()).filePath("missing");
  struct Case {
    const char* name;
    QString folder;
    std::string sentence;
  } cases[] = {
      {"missing", missing, "The music folder " + missing.toStdString() + " does not exist."},
      {"a file", file, "The music folder " + file.toStdString() + " is not a folder."},
  };
  for (const auto& c : cases) {
    LocalMusicLibrary library({c.folder, true, data.path(), true});
    MusicService service(library);
    ASSERT_TRUE(waitForResult(service.refresh()));
    EXPECT_EQ(service.availability(), MusicService::Availability(MusicService::Failed{c.sentence})) << c.name;
    const auto search = await(service.searchSongs("a", 25));
    ASSERT_FALSE(search) << c.name;
    EXPECT_EQ(search.error().description, c.sentence) << c.name;
  }
  EXPECT_FALSE(QFileInfo::exists(demoLibraryFolder(data.path()))) << "a chosen folder is never replaced";
}

TEST_F(LocalMusicLibraryTest, AFolderThatAppearsLaterIsIndexedOnTheNextRefresh) {
  const QString later = QDir(music.path()).filePath("later");
  LocalMusicLibrary library({later, true, data.path(), true});
  MusicService service(library);
  ASSERT_TRUE(waitForResult(service.refresh()));
  ASSERT_FALSE(await(service.searchSongs("song", 25)));

  music.addSong("later/song.flac", {{"title", "Song"}});
  QSignalSpy finished(&library, &LocalMusicLibrary::scanFinished);
  ASSERT_TRUE(waitForResult(service.refresh()));
  EXPECT_EQ(service.availability(), MusicService::Availability(MusicService::Ready{}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0; }, 60000));
  EXPECT_THAT(titles(await(service.searchSongs("song", 25)).value()), ElementsAre("Song"));
}

TEST_F(LocalMusicLibraryTest, AFolderThatAppearsWhileAScanLooksForItIsIndexedOnTheRefresh) {
  LocalMusicLibrary library({QDir(music.path()).filePath("later"), true, data.path(), true});
  MusicService service(library);
  library.rescan();  // finds no folder; its end is heard of only once the event loop runs
  // Whole at once, so the scan sees no folder or the finished one.
  music.addSong("ready/song.flac", {{"title", "Song"}});
  std::filesystem::rename(music.absolute("ready"), music.absolute("later"));
  ASSERT_TRUE(waitForResult(service.refresh()));
  EXPECT_EQ(service.availability(), MusicService::Availability(MusicService::Ready{}));
  const auto found = await(service.searchSongs("song", 25));
  ASSERT_TRUE(found) << found.error().description;
  EXPECT_THAT(titles(found.value()), ElementsAre("Song"));
}

/// What the library finds wrong with `folder`, asked as the user "nobody" when the test runs as
/// root (root reads every folder), in a child process so the test keeps its rights.
std::string problemAsAUser(const LibraryScanSettings& settings) {
  const auto ask = [&] {
    const auto problem = musicFolderProblem(settings);
    return problem ? problem->description : std::string("none");
  };
  if (::geteuid() != 0) return ask();
  int pipe[2];
  if (::pipe(pipe) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    ::close(pipe[0]);
    if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
    const std::string answer = ask();
    ::_exit(::write(pipe[1], answer.data(), answer.size()) == static_cast<ssize_t>(answer.size()) ? 0 : 3);
  }
  ::close(pipe[1]);
  std::string answer;
  char buffer[256];
  for (ssize_t n; (n = ::read(pipe[0], buffer, sizeof buffer)) > 0;) answer.append(buffer, static_cast<std::size_t>(n));
  ::close(pipe[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? answer : "the child failed";
}

TEST_F(LocalMusicLibraryTest, AnUnreadableFolderFailsWithASentenceNamingIt) {
  const QString folder = QDir(music.path()).filePath("locked");
  ASSERT_TRUE(QDir().mkpath(folder));
  ASSERT_EQ(::chmod(music.root().c_str(), 0711), 0);  // others may pass through, not list
  ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0), 0);
  const std::string sentence = problemAsAUser({folder, false, data.path(), true});
  ::chmod(QFile::encodeName(folder).constData(), 0700);
  EXPECT_EQ(sentence, "The music folder " + folder.toStdString() + " cannot be read.");
}

TEST_F(LocalMusicLibraryTest, AFolderWithoutAudioGetsTheDemoLibraryMadeOnce) {
  music.addFile("readme.txt", "no music here");
  auto library = open(settings(true));
  MusicService service(*library);
  ASSERT_TRUE(waitForResult(service.refresh()));
  EXPECT_EQ(service.availability(), MusicService::Availability(MusicService::Ready{}));
  EXPECT_EQ(library->indexedFolder(), demoLibraryFolder(data.path()));

  EXPECT_EQ(library->scanProgress(), (LibraryScanProgress{false, 12, 0, 12, 0}));
  for (const char* album : {"morning tones", "cafe oscillator", "night drones"}) {
    const auto found = await(service.searchAlbums(album, 25)).value();
    ASSERT_EQ(found.size(), 1u) << album;
    EXPECT_EQ(found[0].trackCount, 4) << album;
    const auto songs = await(service.tracks(ref(Source::album, found[0].id), 500)).value();
    ASSERT_EQ(songs.size(), 4u) << album;
    EXPECT_THAT(songs[0].duration, ::testing::Optional(::testing::Gt(5.0))) << album;
  }
  const auto playlists = await(service.libraryPlaylists()).value();
  ASSERT_EQ(playlists.size(), 2u);
  for (const auto& playlist : playlists) {
    EXPECT_THAT(await(service.tracks(playlist, 500)).value(), ::testing::Not(IsEmpty())) << playlist.name;
  }
  EXPECT_THAT(titles(await(service.searchSongs("cafe oscillator deja", 25)).value()), ElementsAre("Déjà Entendu"));

  // A second start finds it made and indexed.
  auto again = open(settings(true));
  EXPECT_EQ(again->scanProgress(), (LibraryScanProgress{false, 12, 12, 0, 0}));
}

TEST_F(LocalMusicLibraryTest, AMissingDefaultFolderGetsTheDemoLibrary) {
  LibraryScanSettings scan{QDir(music.path()).filePath("Music"), false, data.path(), true};
  auto library = open(scan);
  MusicService service(*library);
  ASSERT_TRUE(waitForResult(service.refresh()));
  EXPECT_EQ(service.availability(), MusicService::Availability(MusicService::Ready{}));
  EXPECT_EQ(library->indexedFolder(), demoLibraryFolder(data.path()));
  EXPECT_EQ(library->scanProgress().found, 12);
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
