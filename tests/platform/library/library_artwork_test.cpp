// Cover art found while indexing: pictures in the files, or a cover picture in the folder.

#include <QBuffer>
#include <QDir>
#include <QImage>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/library/artwork_address.h"
#include "platform/library/local_music_library.h"
#include "platform/library/tone_file_writer.h"
#include "support/music_folder_builder.h"
#include "support/task_result.h"

namespace kovali {
namespace {

struct Cover {
  QByteArray jpeg;
  QSize size;
};

Cover jpeg(QColor color, QSize size) {
  QImage image(size, QImage::Format_RGB32);
  image.fill(color);
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  image.save(&buffer, "JPEG", 95);
  return {bytes, size};
}

class LibraryArtworkTest : public ::testing::Test {
 protected:
  void addSongWithCover(const std::string& relativePath, const std::string& title, const Cover& cover) {
    ToneFile file;
    file.path = music.absolute(relativePath);
    QDir().mkpath(QFileInfo(QString::fromStdString(file.path)).absolutePath());
    file.notes = {440, 550};
    file.tags = {{"title", title}, {"album", title + " album"}};
    file.coverJPEG = cover.jpeg.toStdString();
    file.coverWidth = cover.size.width();
    file.coverHeight = cover.size.height();
    const auto failure = writeToneFile(file);
    ASSERT_FALSE(failure) << *failure;
  }

  std::unique_ptr<LocalMusicLibrary> open() {
    auto library = std::make_unique<LocalMusicLibrary>(LibraryScanSettings{music.path(), true, data.path(), false});
    QSignalSpy finished(library.get(), &LocalMusicLibrary::scanFinished);
    library->rescan();
    if (!finished.wait(60000)) throw std::runtime_error("the scan did not end");
    return library;
  }

  static Song only(LocalMusicLibrary& library, const std::string& term) {
    auto found = waitForResult(library.search({term, MusicItemKind::songs, 5}));
    if (!found || !*found || (*found)->songs.items.size() != 1) throw std::runtime_error("no single song " + term);
    return (*found)->songs.items.front();
  }

  MusicFolderBuilder music;
  QTemporaryDir data;
};

TEST_F(LibraryArtworkTest, FindsPicturesInFilesAndInTheirFolderAndNoneWhereThereIsNone) {
  addSongWithCover("flac/embedded.flac", "Flacky", jpeg(Qt::red, {40, 40}));
  addSongWithCover("mp3/tagged.mp3", "Mpeggy", jpeg(Qt::green, {40, 20}));
  music.addSong("folder/plain.ogg", {{"title", "Foldery"}});
  music.addFile("folder/Cover.JPG", jpeg(Qt::blue, {30, 30}).jpeg.toStdString());
  music.addSong("bare/bare.flac", {{"title", "Barely"}});
  auto library = open();

  struct Case {
    const char* title;
    QSize size;
    QColor color;
  } cases[] = {{"Flacky", {40, 40}, Qt::red}, {"Mpeggy", {40, 20}, Qt::green}, {"Foldery", {30, 30}, Qt::blue}};
  for (const auto& c : cases) {
    const Song song = only(*library, c.title);
    ASSERT_TRUE(song.artwork) << c.title;
    EXPECT_EQ(song.artwork->urlTemplate, localArtworkTemplate(song.id)) << c.title;
    const auto read = library->artworkReader(song.id);
    ASSERT_TRUE(read) << c.title;
    const QImage picture = read();
    EXPECT_EQ(picture.size(), c.size) << c.title;
    EXPECT_NEAR(QColor(picture.pixel(5, 5)).hue(), c.color.hue(), 12) << c.title;
  }
  const Song bare = only(*library, "Barely");
  EXPECT_FALSE(bare.artwork);
  EXPECT_FALSE(library->artworkReader(bare.id));
  EXPECT_FALSE(library->artworkReader("../../etc/passwd"));
}

TEST_F(LibraryArtworkTest, AnAlbumShowsItsFirstSongsArtAndAddressesFollowTheServer) {
  addSongWithCover("a/one.flac", "Album Song", jpeg(Qt::red, {20, 20}));
  auto library = open();
  const Song song = only(*library, "Album Song");
  auto albums = waitForResult(library->search({"Album Song album", MusicItemKind::albums, 5}));
  ASSERT_TRUE(albums && *albums && (*albums)->albums.items.size() == 1);
  const Album album = (*albums)->albums.items.front();
  ASSERT_TRUE(album.artwork);
  ASSERT_TRUE(library->artworkReader(album.id));

  setLocalArtworkAddress(std::nullopt);
  EXPECT_EQ(song.artwork->url(100, 100), std::nullopt) << "no address while nothing serves it";
  setLocalArtworkAddress("http://party.local:4567");
  EXPECT_EQ(song.artwork->url(100, 100), "http://party.local:4567/artwork/" + song.id + "/100x100.jpg");
  setLocalArtworkAddress(std::nullopt);
}

}  // namespace
}  // namespace kovali
