#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include <QDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "music/music_service.h"
#include "platform/library/demo_library.h"
#include "platform/library/local_music_library_fixture.h"

namespace kovali {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Source = vinaro::PlaylistRef::Source;

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

}  // namespace
}  // namespace kovali
