#include "platform/library/index/library_index_cache.h"

#include <functional>
#include <string>
#include <vector>

#include <QDataStream>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/library/index/saved_library_index.h"

namespace kovali {
namespace {

const std::string kRoot = "/home/me/Music";

std::vector<CachedAudioFile> everyKindOfFile() {
  const AudioFileTags full{"Déjà Vu", "Beyoncé", "B'Day", "Beyoncé & Co", 3, 2, 215.5, ContentRating::explicitContent,
                           true};
  AudioFileTags bare;
  bare.contentRating = ContentRating::clean;
  return {{{"Pop/deja.flac", 4096, 1'700'000'000'123'456'789}, full},
          {{"caf\xe9.mp3", 0, -5}, bare},
          {{"broken.ogg", 10, 20}, std::nullopt}};
}

LibraryWalk walkOf(const std::vector<CachedAudioFile>& files) {
  LibraryWalk walk;
  for (const auto& file : files) walk.audioFiles.push_back(file.file);
  walk.playlists = {{"Party.m3u", 30, 40}};
  walk.folderArtwork = {{"Pop", "Pop/Cover.JPG"}};
  return walk;
}

std::shared_ptr<const LibraryIndex> indexOf(const std::vector<CachedAudioFile>& files) {
  std::vector<LibraryFile> readable;
  for (const auto& file : files) {
    if (file.tags) readable.push_back({file.file.relativePath, *file.tags, std::nullopt});
  }
  readable.back().folderArtwork = "Pop/Cover.JPG";
  return LibraryIndex::build(kRoot, readable, {{"Party.m3u", {"caf\xe9.mp3", "Pop/deja.flac"}}});
}

void rewrite(const QString& path, const std::function<void(QByteArray&)>& change) {
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadWrite));
  QByteArray bytes = file.readAll();
  change(bytes);
  ASSERT_TRUE(file.resize(0));
  file.write(bytes);
}

// The layout the cache had before it was kept as in memory, with one file in it.
void olderLayout(QByteArray& bytes) {
  bytes.clear();
  QDataStream out(&bytes, QIODevice::WriteOnly);
  out << quint32(0x4b564d49) << quint32(2) << QByteArray::fromStdString(kRoot) << quint32(1)
      << QByteArray("Pop/deja.flac") << qint64(4096) << qint64(1'700'000'000'123'456'789) << false;
}

TEST(LibraryIndexCache, ReadsBackEveryFieldOfEveryFile) {
  QTemporaryDir data;
  const QString path = indexCachePath(data.path(), kRoot);
  ASSERT_TRUE(saveIndexCache(path, kRoot, everyKindOfFile()));
  EXPECT_EQ(loadIndexCache(path, kRoot), everyKindOfFile());
}

TEST(LibraryIndexCache, ASavedIndexAnswersAsTheIndexItWasBuiltAs) {
  QTemporaryDir data;
  const QString path = savedIndexPath(data.path(), kRoot);
  const auto built = indexOf(everyKindOfFile());
  ASSERT_TRUE(saveIndex(path, kRoot, walkOf(everyKindOfFile()), {built, {"broken.ogg"}}));

  const auto saved = loadSavedIndex(path, kRoot, walkOf(everyKindOfFile()));
  ASSERT_TRUE(saved);
  EXPECT_EQ(saved->unreadableFiles, std::vector<std::string>{"broken.ogg"});
  const LibraryIndex& index = *saved->index;
  EXPECT_EQ(index.searchSongs("e", 10), built->searchSongs("e", 10));
  EXPECT_EQ(index.searchSongs("beyonce bday", 10), built->searchSongs("beyonce bday", 10));
  ASSERT_EQ(index.searchAlbums("b", 10), built->searchAlbums("b", 10));
  EXPECT_EQ(index.searchPlaylists("party", 10), built->searchPlaylists("party", 10));
  for (const auto& song : built->searchSongs("e", 10)) {
    ASSERT_TRUE(index.song(song.id)) << song.title;
    EXPECT_EQ(*index.song(song.id), song);
    EXPECT_EQ(index.artworkSource(song.id), built->artworkSource(song.id)) << song.title;
  }
  for (const auto& album : built->searchAlbums("b", 10)) {
    EXPECT_EQ(index.songs(album), built->songs(album));
    EXPECT_EQ(index.artworkSource(album.id), built->artworkSource(album.id));
  }
  ASSERT_EQ(index.playlists(), built->playlists());
  EXPECT_EQ(index.songs(index.playlists()[0]), built->songs(built->playlists()[0]));
}

// Each cache file, however it comes to be other than saved, is passed by and the files read again.
TEST(LibraryIndexCache, AFileThatIsNotAsSavedIsNotTaken) {
  const struct {
    const char* damage;
    std::function<void(QByteArray&)> apply;
  } rows[] = {
      {"empty", [](QByteArray& bytes) { bytes.clear(); }},
      {"cut to its header", [](QByteArray& bytes) { bytes.truncate(16); }},
      {"cut short by a byte", [](QByteArray& bytes) { bytes.chop(1); }},
      {"longer by a byte", [](QByteArray& bytes) { bytes.append('\0'); }},
      {"a byte changed", [](QByteArray& bytes) { bytes[bytes.size() / 2] = ~bytes[bytes.size() / 2]; }},
      {"in the older layout", olderLayout},
  };
  for (const auto& row : rows) {
    QTemporaryDir data;
    const QString cachePath = indexCachePath(data.path(), kRoot);
    const QString indexPath = savedIndexPath(data.path(), kRoot);
    ASSERT_TRUE(saveIndexCache(cachePath, kRoot, everyKindOfFile()));
    ASSERT_TRUE(saveIndex(indexPath, kRoot, walkOf(everyKindOfFile()), {indexOf(everyKindOfFile()), {}}));
    rewrite(cachePath, row.apply);
    rewrite(indexPath, row.apply);
    EXPECT_TRUE(loadIndexCache(cachePath, kRoot).empty()) << row.damage;
    EXPECT_FALSE(loadSavedIndex(indexPath, kRoot, walkOf(everyKindOfFile()))) << row.damage;
  }
}

TEST(LibraryIndexCache, AnIndexSavedFromAnotherWalkIsNotTaken) {
  const struct {
    const char* change;
    std::function<void(LibraryWalk&)> apply;
  } rows[] = {
      {"a file's time", [](LibraryWalk& walk) { ++walk.audioFiles[1].modifiedNs; }},
      {"a file's size", [](LibraryWalk& walk) { ++walk.audioFiles[1].size; }},
      {"a file gone", [](LibraryWalk& walk) { walk.audioFiles.pop_back(); }},
      {"a playlist changed", [](LibraryWalk& walk) { ++walk.playlists[0].modifiedNs; }},
      {"a cover picture added", [](LibraryWalk& walk) { walk.folderArtwork[""] = "cover.png"; }},
  };
  QTemporaryDir data;
  const QString path = savedIndexPath(data.path(), kRoot);
  const QString cachePath = indexCachePath(data.path(), kRoot);
  ASSERT_TRUE(saveIndex(path, kRoot, walkOf(everyKindOfFile()), {indexOf(everyKindOfFile()), {}}));
  ASSERT_TRUE(saveIndexCache(cachePath, kRoot, everyKindOfFile()));
  EXPECT_FALSE(loadSavedIndex(path, "/home/me/Other", walkOf(everyKindOfFile()))) << "another folder";
  EXPECT_TRUE(loadIndexCache(cachePath, "/home/me/Other").empty()) << "another folder";
  for (const auto& row : rows) {
    LibraryWalk walk = walkOf(everyKindOfFile());
    row.apply(walk);
    EXPECT_FALSE(loadSavedIndex(path, kRoot, walk)) << row.change;
  }
  EXPECT_TRUE(loadSavedIndex(path, kRoot, walkOf(everyKindOfFile()))) << "the same walk";
}

}  // namespace
}  // namespace kovali
