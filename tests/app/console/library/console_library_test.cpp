// The sidebar and the search over a real music folder.

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>

#include "app/console/console_fixture.h"
#include "app/console/library/playlists_section.h"
#include "app/console/library/search_session.h"
#include "app/console/library/sidebar.h"
#include "platform/library/local_music_library.h"
#include "support/music_folder_builder.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

class ConsoleLibraryTest : public ConsoleTest {
 protected:
  ConsoleLibraryTest() {
    folder.addSong("Marlow/Blue Season/02 Harbour.flac",
                   {{"title", "Harbour"}, {"artist", "Marlow"}, {"album", "Blue Season"}, {"track", "2"}});
    folder.addSong("Marlow/Blue Season/01 Tide.flac",
                   {{"title", "Tide"}, {"artist", "Marlow"}, {"album", "Blue Season"}, {"track", "1"}});
    folder.addSong("Marlow/Blue Season/03 Lanterns.flac",
                   {{"title", "Lanterns"}, {"artist", "Marlow"}, {"album", "Blue Season"}, {"track", "3"}});
    folder.addSong("Kestrel/Orbit/01 Satellites.flac",
                   {{"title", "Satellites"}, {"artist", "Kestrel"}, {"album", "Orbit"}, {"track", "1"}});
    folder.addFile("Road Trip.m3u",
                   "#EXTM3U\nKestrel/Orbit/01 Satellites.flac\nMarlow/Blue "
                   "Season/01 Tide.flac\n");
    library = std::make_unique<LocalMusicLibrary>(LibraryScanSettings{folder.path(), true, data.path(), false});
    QSignalSpy finished(library.get(), &LocalMusicLibrary::scanFinished);
    library->rescan();
    EXPECT_TRUE(finished.wait(60000)) << "the scan did not end";
    libraryMusic = std::make_unique<MusicService>(*library);
    libraryMusic->setAvailability(MusicService::Ready{});
    musicService = libraryMusic.get();
    makeStore(false);
  }

  template <class Done>
  static bool waitFor(Done done) {
    return QTest::qWaitFor(done, 10000);
  }

  MusicFolderBuilder folder;
  QTemporaryDir data;
  std::unique_ptr<LocalMusicLibrary> library;
  std::unique_ptr<MusicService> libraryMusic;
};

TEST_F(ConsoleLibraryTest, ListsThePlaylistFindsASongAndQueuesAnAlbumInTrackOrder) {
  Sidebar sidebar(store(), scheduler, artwork);
  renderWidget(sidebar, QSize(ConsoleView::sidebarWidth, 640));
  ASSERT_TRUE(waitFor([&] { return !sidebar.playlists().rows().empty(); }));
  EXPECT_EQ(sidebar.playlists().rows()[0]->model().name, "Road Trip");

  SearchSession search(store(), scheduler);
  search.setQuery("lantern");
  search.runSearch();
  ASSERT_TRUE(waitFor([&] { return !search.results().empty(); }));
  EXPECT_EQ(search.results()[0].title, "Lanterns");
  EXPECT_EQ(search.results()[0].subtitle, "Marlow");

  search.setQuery("blue season");
  search.setKind(SearchSession::Kind::albums);
  ASSERT_TRUE(waitFor([&] { return !search.results().empty(); }));
  EXPECT_EQ(search.results()[0].subtitle, "Marlow \u00B7 3 songs");
  search.add(search.results()[0].id);
  ASSERT_TRUE(waitFor([&] { return store().state().queue.size() == 3; }));
  std::vector<std::string> titles;
  for (const auto &item : store().state().queue) titles.push_back(item.track.title);
  EXPECT_EQ(titles, (std::vector<std::string>{"Tide", "Harbour", "Lanterns"}));
}

TEST_F(ConsoleLibraryTest, AddingAnAlbumFromTheSearchKeepsTheSongsAlreadyQueued) {
  host(vinaro::action::Add{vinaro::Track{"first", "Already here", "Lumen", {}, 200, {}, false}});
  SearchSession search(store(), scheduler);
  search.setKind(SearchSession::Kind::albums);
  search.setQuery("blue season");
  search.runSearch();
  ASSERT_TRUE(waitFor([&] { return !search.results().empty(); }));
  search.add(search.results()[0].id);
  ASSERT_TRUE(waitFor([&] { return store().state().queue.size() == 4; }));
  EXPECT_EQ(store().state().queue[0].track.title, "Already here");
  EXPECT_EQ(store().state().queue[3].track.title, "Lanterns");
}

}  // namespace
}  // namespace kovali
