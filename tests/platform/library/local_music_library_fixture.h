#pragma once

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include <QSignalSpy>
#include <QTemporaryDir>

#include "platform/library/local_music_library.h"
#include "support/music_folder_builder.h"
#include "support/task_result.h"

namespace kovali {

/// The result of `task`; throws when it does not end.
template <class T>
T await(QCoro::Task<T> task) {
  auto result = waitForResult(std::move(task));
  if (!result) throw std::runtime_error("the request did not end");
  return std::move(*result);
}

inline std::vector<std::string> titles(const std::vector<Song>& songs) {
  std::vector<std::string> result;
  for (const auto& song : songs) result.push_back(song.title);
  return result;
}

inline vinaro::PlaylistRef ref(vinaro::PlaylistRef::Source source, const std::string& id) {
  return vinaro::PlaylistRef{source, id, "", std::nullopt, std::nullopt, std::nullopt};
}

/// A music folder and a data folder of the test's own, and libraries over them.
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

}  // namespace kovali
