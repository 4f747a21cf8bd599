#include "app/console/library/sidebar.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <algorithm>

#include "app/console/console_fixture.h"
#include "app/console/library/playlists_section.h"
#include "app/console/library/search_popover.h"
#include "app/console/library/search_result_row.h"
#include "app/look/palette.h"
#include "app/shell/window/main_window.h"
#include "support/focus_rings.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

class SidebarTest : public ConsoleTest {
 protected:
  SidebarTest() {
    catalog.library = {
        {Playlist{"lp-1", "Dinner", std::nullopt, {}}, std::vector<MusicTrackEntry>{song("d1"), song("d2")}},
        {Playlist{"lp-2", "Gone Songs", std::nullopt, {}}, std::vector<MusicTrackEntry>{}}};
  }

  Sidebar &makeSidebar() {
    sidebar_ = std::make_unique<Sidebar>(store(), scheduler, artwork);
    renderWidget(*sidebar_, QSize(ConsoleView::sidebarWidth, 640));
    runPostedEvents();
    return *sidebar_;
  }

  /// Clicks the playlist `name` and confirms.
  void addPlaylist(PlaylistsSection &section, const std::string &name) {
    for (PlaylistRow *row : section.rows()) {
      if (row->model().name == name) row->click();
    }
    QMessageBox *confirmation = section.confirmation();
    ASSERT_NE(confirmation, nullptr);
    EXPECT_EQ(confirmation->text().toStdString(), addPlaylistTitle(name));
    for (QAbstractButton *button : confirmation->buttons()) {
      if (button->text() == QStringLiteral("Add to queue")) button->click();
    }
    runPostedEvents();
  }

  std::unique_ptr<Sidebar> sidebar_;
};

TEST_F(SidebarTest, BeforeTheMusicIsReadySearchIsOffAndTheListSaysWhyThenLoadsByItself) {
  music.setAvailability(MusicService::Authorizing{});
  Sidebar &sidebar = makeSidebar();
  EXPECT_FALSE(sidebar.searchButton().isEnabled());
  QTest::keyClick(&sidebar, Qt::Key_F, Qt::ControlModifier);
  EXPECT_EQ(sidebar.searchPopover(), nullptr);
  const PlaylistsSection &section = sidebar.playlists();
  EXPECT_TRUE(section.rows().empty());
  EXPECT_EQ(section.state().placeholder(), "The music library is not available on the host.");

  music.setAvailability(MusicService::Ready{});
  runPostedEvents();
  EXPECT_TRUE(sidebar.searchButton().isEnabled());
  ASSERT_EQ(section.rows().size(), 2u);
  EXPECT_EQ(section.rows()[0]->model().name, "Dinner");
  EXPECT_EQ(section.rows()[0]->toolTip(), QStringLiteral("Dinner"));
  EXPECT_EQ(section.state().message, std::nullopt);
}

TEST_F(SidebarTest, AnEmptyLibrarySaysSoOnceLoaded) {
  catalog.library.clear();
  catalog.delay = 1;
  Sidebar &sidebar = makeSidebar();
  EXPECT_EQ(sidebar.playlists().state().placeholder(), "Loading playlists\u2026");
  advance(1);
  EXPECT_EQ(sidebar.playlists().state().placeholder(), "No playlists in the music library.");
}

TEST_F(SidebarTest, AddingAPlaylistAsksThenQueuesItsSongsOrSaysItHasNone) {
  Sidebar &sidebar = makeSidebar();
  PlaylistsSection &section = sidebar.playlists();
  addPlaylist(section, "Gone Songs");
  EXPECT_EQ(section.state().footerNotice(), "Gone Songs has no playable songs.");
  EXPECT_TRUE(store().state().queue.empty());

  addPlaylist(section, "Dinner");
  EXPECT_EQ(section.state().footerNotice(), "Added \u201CDinner\u201D.");
  ASSERT_EQ(store().state().queue.size(), 2u);
  EXPECT_EQ(store().state().queue[1].track.id, "d2");
  EXPECT_EQ(store().lastHostError(), std::nullopt);
}

TEST_F(SidebarTest, AddingAPlaylistKeepsTheSongsAlreadyQueued) {
  queueSongs(2);
  const auto before = store().state().queue;
  Sidebar &sidebar = makeSidebar();
  addPlaylist(sidebar.playlists(), "Dinner");
  const auto &queue = store().state().queue;
  ASSERT_EQ(queue.size(), 4u);
  EXPECT_EQ(queue[0].id, before[0].id);
  EXPECT_EQ(queue[1].id, before[1].id);
  EXPECT_EQ(queue[3].track.id, "d2") << "the playlist goes after them";
}

TEST_F(SidebarTest, CtrlFOpensTheSearchPopoverWhoseFieldKeepsTheSpaceBar) {
  catalog.songs = {song("s1"), song("s2"), song("s3")};
  queueSongs(1);
  Sidebar &sidebar = makeSidebar();
  sidebar.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&sidebar));
  sidebar.searchButton().setFocus();
  QTest::keyClick(&sidebar.searchButton(), Qt::Key_F, Qt::ControlModifier);
  // A button's shortcut presses it for a moment before it clicks.
  ASSERT_TRUE(QTest::qWaitFor([&] { return sidebar.searchPopover() != nullptr; }));
  SearchPopover *popover = sidebar.searchPopover();
  ASSERT_NE(popover, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(popover));

  QTest::keyClicks(&popover->field(), "ti tle");
  EXPECT_EQ(popover->field().text(), QStringLiteral("ti tle"));
  EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::stopped);
  advance(0.3);
  ASSERT_EQ(popover->rows().size(), 4u);
  popover->rows()[1]->addButton().click();
  EXPECT_TRUE(popover->rows()[1]->showsCheckMark());
  EXPECT_EQ(store().state().queue.size(), 2u);
}

TEST_F(SidebarTest, EveryStopTabReachesInTheSearchPopoverDrawsAFocusRing) {
  catalog.songs = {song("s1"), song("s2"), song("s3")};
  Sidebar &sidebar = makeSidebar();
  sidebar.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&sidebar));
  sidebar.searchButton().click();
  SearchPopover *popover = sidebar.searchPopover();
  ASSERT_NE(popover, nullptr);
  ASSERT_TRUE(QTest::qWaitForWindowExposed(popover));
  popover->field().setText(QStringLiteral("title"));
  popover->session().runSearch();
  runPostedEvents();
  ASSERT_EQ(popover->rows().size(), 3u);
  const std::vector<QWidget *> controls = expectTabReachesEveryStop(*popover);
  EXPECT_TRUE(std::ranges::any_of(controls, [](QWidget *control) { return qobject_cast<QScrollArea *>(control); }))
      << "the results are a stop of their own";
  expectFocusRings(*popover, controls);
}

TEST_F(SidebarTest, RendersTheConsoleWithTheSearchPopoverOpen) {
  catalog.songs = {song("s1"), song("s2"), song("s3"), song("s4")};
  fullParty();
  ConsoleView &view = makeConsole();
  renderWidget(view, MainWindow::defaultSize);
  runPostedEvents();
  auto *sidebar = dynamic_cast<Sidebar *>(&view.sidebar());
  ASSERT_NE(sidebar, nullptr);
  sidebar->searchButton().click();
  SearchPopover *popover = sidebar->searchPopover();
  ASSERT_NE(popover, nullptr);
  popover->field().setText(QStringLiteral("title"));
  popover->session().runSearch();
  runPostedEvents();
  ASSERT_EQ(popover->rows().size(), 25u) << "the first 25 of the catalogue's songs";
  popover->rows()[0]->addButton().click();

  QImage image = grabWidget(view);
  const QImage popup = grabWidget(*popover);
  {
    QPainter painter(&image);
    painter.drawImage(view.mapFromGlobal(popover->mapToGlobal(QPoint(0, 0))), popup);
  }
  saveArtifact(image, QStringLiteral("console-search.png"));
  const QWidget &row = *popover->rows()[1];
  const QPoint besideTheTitle = row.mapTo(popover, QPoint(row.width() / 2, 1));
  EXPECT_TRUE(pixelIs(popup, besideTheTitle.x(), besideTheTitle.y(), Palette::surface(appearanceOf(*popover))))
      << "the list lies on the popover's own surface";
  EXPECT_GT(popover->x(), view.mapToGlobal(QPoint(0, 0)).x() + ConsoleView::sidebarWidth - 40)
      << "the popover opens beside the sidebar";
}

}  // namespace
}  // namespace kovali
