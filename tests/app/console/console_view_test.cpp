#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QDropEvent>
#include <QGraphicsOpacityEffect>
#include <QLabel>
#include <QMessageBox>
#include <QMimeData>
#include <QStackedWidget>
#include <QTest>
#include <algorithm>
#include <functional>
#include <map>

#include "app/console/console_fixture.h"
#include "app/console/console_keys_fixture.h"
#include "app/console/library/sidebar.h"
#include "app/console/queue/guests_sheet.h"
#include "app/console/queue/queue_column.h"
#include "app/console/queue/queue_now_playing.h"
#include "app/console/queue/queue_row.h"
#include "app/console/queue/up_next_list.h"
#include "app/console/requests/request_card.h"
#include "app/console/requests/requests_column.h"
#include "app/look/artwork/artwork_tile.h"
#include "app/look/controls/symbol_button.h"
#include "app/look/frame_refresh.h"
#include "app/look/palette.h"
#include "app/look/symbols/symbol_label.h"
#include "app/look/text/fitted_label.h"
#include "app/shell/window/main_window.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

const QSize kWindow = MainWindow::defaultSize;
// How long a refresh left for the end of its frame may take on a loaded machine, in ms.
constexpr int kFramesBound = 5000;

std::vector<std::string> queueIDs(const SessionStore& store) {
  std::vector<std::string> ids;
  for (const auto& item : store.state().queue) ids.push_back(item.id);
  return ids;
}

/// Drops what a drag carries, `data`, before the row at `destination` (or after the last).
void drop(UpNextList& list, const QMimeData& data, std::size_t destination) {
  grabWidget(list);  // the rows stand where the last change put them
  QWidget& area = list.dropArea();
  const auto& rows = list.rows();
  const int y = destination < rows.size() ? rows[destination]->geometry().top() + 2 : rows.back()->geometry().bottom();
  const QPointF at(area.width() / 2.0, y);
  QDragEnterEvent enter(at.toPoint(), Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&area, &enter);
  QDropEvent dropped(at, Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&area, &dropped);
}

/// Drops row `row` of `list` before the row at `destination` (or after the last), as a drag of
/// the list's own row would.
void dropRow(UpNextList& list, std::size_t row, std::size_t destination) {
  const std::unique_ptr<QMimeData> data(list.dragData(row));
  drop(list, *data, destination);
}

TEST_F(ConsoleTest, RendersAFullPartyInThreeColumnsAtTheDefaultAndTheSmallestSize) {
  fullParty();
  QImage cover(200, 200, QImage::Format_RGB32);
  cover.fill(QColor(40, 90, 200));
  ConsoleView& view = makeConsole();
  QImage image = renderWidget(view, kWindow);
  scheduler.advance(1);
  image = grabWidget(view);
  saveArtifact(image, QStringLiteral("console.png"));

  EXPECT_EQ(store().state().queue.size(), 20u);
  EXPECT_EQ(view.requestsColumn().cards().size(), 6u);
  EXPECT_EQ(view.requestsColumn().resolvedRows().size(), 6u);
  EXPECT_EQ(view.requestsColumn().model().resolvedTitle, "Recently resolved \u00B7 9");
  EXPECT_EQ(view.queueColumn().model().partygoers, "3 partygoers");
  EXPECT_TRUE(view.queueColumn().partygoersButton().isVisible());

  EXPECT_EQ(view.sidebar().width(), ConsoleView::sidebarWidth);
  EXPECT_EQ(view.requestsColumn().width(), ConsoleView::requestsWidth);
  EXPECT_EQ(view.requestsColumn().x(), kWindow.width() - ConsoleView::requestsWidth);
  EXPECT_TRUE(pixelIs(image, 5, kWindow.height() - 5, Palette::cream())) << "paper under the sidebar";
  const QColor hairline = image.pixelColor(ConsoleView::sidebarWidth, kWindow.height() - 5);
  EXPECT_LT(hairline.lightness(), Palette::cream().lightness()) << "a hairline after the sidebar";

  const QSize smallest = MainWindow::minimumContentSize;
  saveArtifact(renderWidget(view, smallest), QStringLiteral("console-smallest.png"));
  EXPECT_GT(view.queueColumn().width(), 300);
  EXPECT_EQ(view.requestsColumn().x(), smallest.width() - ConsoleView::requestsWidth);

  host(vinaro::action::SetInput{vinaro::LiveInput{"usb-1", "USB Turntable", true}});
  saveArtifact(renderWidget(view, kWindow), QStringLiteral("console-live-input.png"));
  EXPECT_TRUE(std::holds_alternative<LiveInputModel>(view.queueColumn().model().nowPlaying));
  EXPECT_FALSE(view.queueColumn().nowPlaying().playPauseButton().isVisible());
  EXPECT_EQ(view.queueColumn().upNext().rowModels().size(), 20u) << "the queue stays editable";
}

TEST_F(ConsoleTest, RowButtonsMoveAndRemoveTheirSongAsTheHost) {
  queueSongs(4);
  ConsoleView& view = makeConsole();
  renderWidget(view, kWindow);
  const auto before = queueIDs(store());
  auto& rows = view.queueColumn().upNext().rows();
  ASSERT_EQ(rows.size(), 4u);
  EXPECT_FALSE(rows[0]->playNextButton().isEnabled());

  rows[1]->removeButton().click();
  EXPECT_EQ(queueIDs(store()), (std::vector<std::string>{before[0], before[2], before[3]}));
  nextFrame();
  EXPECT_EQ(view.queueColumn().upNext().rows().size(), 3u);

  view.queueColumn().upNext().rows()[2]->playNextButton().click();
  EXPECT_EQ(queueIDs(store()), (std::vector<std::string>{before[3], before[0], before[2]}));
  EXPECT_EQ(store().lastHostError(), std::nullopt);
}

/// What a row shows: its texts and the address of its cover.
QString shownContent(const QueueRow& row) {
  QStringList shown;
  for (const FittedLabel* label : row.findChildren<FittedLabel*>()) shown << label->text();
  return shown.join('|') + '|' + QString::fromStdString(row.findChild<ArtworkTile*>()->artworkURL().value_or(""));
}

/// The row widget of each queued item, by item id.
std::map<std::string, QueueRow*> rowsByID(const UpNextList& list) {
  std::map<std::string, QueueRow*> rows;
  for (QueueRow* row : list.rows()) rows[row->model().id] = row;
  return rows;
}

TEST_F(ConsoleTest, AQueueChangeKeepsEveryOtherRowAndTheFocusedRowInPlaceAndMakesOnlyTheRowsNearTheView) {
  struct Case {
    const char* name;
    std::function<vinaro::SessionAction(const std::vector<std::string>& ids)> change;
  } const cases[] = {
      {"an unrelated change", [](const auto&) { return vinaro::action::SetMode{vinaro::PartyMode::suggestion}; }},
      {"the focused song played next", [](const auto& ids) { return vinaro::action::Move{ids[2], 0}; }},
      {"another song moved past it", [](const auto& ids) { return vinaro::action::Move{ids[0], 4}; }},
      {"a song before it removed", [](const auto& ids) { return vinaro::action::Remove{ids[0]}; }},
      {"a song added", [](const auto&) { return vinaro::action::Add{vinaro::Track{"new", "New", "Lumen", {}, 200, {}, false}}; }},
      {"the last song played next", [](const auto& ids) { return vinaro::action::Move{ids.back(), 0}; }},
      {"a playlist of 500 loaded", [](const auto&) {
         vinaro::action::LoadTracks load;
         for (int n = 0; n < 500; ++n) load.tracks.push_back({"load" + std::to_string(n), "Loaded", "Lumen", {}, 200, {}, false});
         return load;
       }},
  };
  for (const int songs : {5, 10'000}) {
    for (const Case& test : cases) {
      SCOPED_TRACE(std::to_string(songs) + " songs, " + test.name);
      if (!store().state().queue.empty()) host(vinaro::action::ClearQueue{});
      if (store().state().mode != vinaro::PartyMode::collaboration) {
        host(vinaro::action::SetMode{vinaro::PartyMode::collaboration});
      }
      loadSongs(songs, test.name);
      ConsoleView& view = makeConsole();
      renderWidget(view, kWindow);
      UpNextList& list = view.queueColumn().upNext();
      const auto ids = queueIDs(store());
      const auto before = rowsByID(list);
      QWidget& focused = before.at(ids[2])->removeButton();
      focused.setFocus();
      ASSERT_EQ(view.focusWidget(), &focused);

      host(test.change(ids));
      nextFrame();
      ASSERT_TRUE(QTest::qWaitFor([&] { return list.rowModels().size() == store().state().queue.size(); }));
      runPostedEvents();

      const auto after = queueIDs(store());
      for (const QueueRow* row : list.rows()) {
        const auto place = placeOf(list, *row);
        ASSERT_TRUE(place.has_value());
        EXPECT_EQ(row->model().id, after[*place]) << "in queue order at " << *place;
        EXPECT_EQ(row->model().position, std::to_string(*place + 1));
        EXPECT_EQ(row->geometry().top(), list.rows().front()->geometry().top() +
                                             static_cast<int>(*place - *placeOf(list, *list.rows().front())) *
                                                 row->height())
            << "at its place in the column";
        if (before.contains(after[*place])) {
          EXPECT_EQ(row, before.at(after[*place])) << "the row of " << after[*place] << " is kept";
        }
      }
      EXPECT_EQ(view.focusWidget(), &focused) << "the focus stays with its song";
      // Every row made, or linked into the Tab chain, would cost each change their count.
      EXPECT_LE(view.findChildren<QueueRow*>().size(), rowsMadeBound(list));
      EXPECT_LE(focusChainLength(view), 600u);
    }
  }
}

TEST_F(ConsoleTest, AnUpNextRowShowsItsSongAsItIsNowUnderTheSameIDs) {
  struct Case {
    const char* name;
    std::function<void(vinaro::Track&)> change;
    const char* shown;
  } const cases[] = {
      {"a new title", [](auto& track) { track.title = "Renamed"; }, "Renamed"},
      {"a new artist in the byline", [](auto& track) { track.artist = "Someone Else"; }, "Someone Else"},
      {"a cover at a new address",
       [](auto& track) { track.artworkURLTemplate = "http://party.local:5001/{w}x{h}.jpg"; }, "party.local:5001"},
  };
  queueSongs(2);
  ConsoleView& view = makeConsole();
  renderWidget(view, kWindow);
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    ConsoleSnapshot snapshot = ConsoleSnapshot::of(store());
    auto changed = std::make_shared<vinaro::SessionState>(*snapshot.state);
    test.change(changed->queue[1].track);
    snapshot.state = changed;
    view.queueColumn().setSnapshot(snapshot);
    const QString shown = shownContent(*view.queueColumn().upNext().rows()[1]);
    EXPECT_TRUE(shown.contains(QString::fromLatin1(test.shown))) << shown.toStdString();
  }
}

TEST_F(ConsoleTest, AConsoleHiddenBehindAnotherPageIsShownAsThePartyIs) {
  queueSongs(2);
  QStackedWidget pages;
  pages.addWidget(new QWidget);
  auto* view = new ConsoleView(store(), scheduler, artwork);
  pages.addWidget(view);
  renderWidget(pages, kWindow);
  EXPECT_EQ(view->queueColumn().upNext().rowModels().size(), 2u) << "built before it is first shown";

  queueSongs(3, "later");
  nextFrame();
  nextFrame();
  EXPECT_EQ(view->queueColumn().upNext().rowModels().size(), 2u) << "out of sight, a change costs it nothing";

  pages.setCurrentWidget(view);
  EXPECT_EQ(view->queueColumn().upNext().rowModels().size(), 5u) << "shown with the party as it is";
  pages.hide();
  pages.setCurrentIndex(0);
  host(vinaro::action::ClearQueue{});
  pages.setCurrentWidget(view);
  pages.show();
  EXPECT_TRUE(QTest::qWaitFor([&] { return view->queueColumn().upNext().rowModels().empty(); }, kFramesBound))
      << "caught up as its window comes back";
}

TEST_F(ConsoleTest, ADropFromAnotherListIsRefused) {
  queueSongs(3);
  ConsoleView& view = makeConsole();
  ConsoleView other(store(), scheduler, artwork);
  renderWidget(view, kWindow);
  const auto revision = store().state().revision;
  const std::unique_ptr<QMimeData> foreign(other.queueColumn().upNext().dragData(0));
  QWidget& area = view.queueColumn().upNext().dropArea();
  QDropEvent drop(QPointF(10, area.height() - 2), Qt::MoveAction, foreign.get(), Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(&area, &drop);
  EXPECT_FALSE(drop.isAccepted());
  EXPECT_EQ(store().state().revision, revision);
}

TEST_F(ConsoleTest, DraggingARowMovesItWhereQtsDropRowSays) {
  queueSongs(5);
  ConsoleView& view = makeConsole();
  renderWidget(view, kWindow);
  const auto before = queueIDs(store());
  UpNextList& list = view.queueColumn().upNext();

  dropRow(list, 0, 3);
  EXPECT_EQ(queueIDs(store()), (std::vector<std::string>{before[1], before[2], before[0], before[3], before[4]}));

  const auto revision = store().state().revision;
  dropRow(list, 2, 2);
  dropRow(list, 2, 3);
  EXPECT_EQ(store().state().revision, revision) << "dropping a row onto its own place sends nothing";

  dropRow(list, 4, 5);
  EXPECT_EQ(store().state().revision, revision) << "the last row dropped after itself";
  dropRow(list, 4, 1);
  EXPECT_EQ(store().state().queue[1].id, before[4]);
}

TEST_F(ConsoleTest, ARowDroppedAfterTheQueueChangedUnderItMovesItsOwnSongOrNothing) {
  struct Case {
    const char* name;
    std::vector<std::size_t> removed;    // places in the queue before the drag, while the row is held
    std::optional<std::size_t> toFront;  // a place in the queue before the drag, moved after the removals
    bool shown;                          // the list shows the change by the drop, else in the frame after it
    std::size_t destination;             // in the list as it is at the drop
    // Places in the queue before the drag, then those of the songs added.
    std::vector<std::size_t> queueAfter;
    int added = 0;                       // songs added to the queue's end after the other changes
  } cases[] = {
      {"rows above the held one left", {0, 1, 2}, {}, true, 0, {4, 3, 5, 6, 7}},
      {"the held song left", {4}, {}, true, 0, {0, 1, 2, 3, 5, 6, 7}},
      {"rows above left in the frame before a drop below the held one", {0, 1}, {}, false, 7, {2, 3, 5, 6, 4, 7}},
      {"a song moved to the front in the frame before the drop", {}, 7, false, 2, {7, 0, 1, 4, 2, 3, 5, 6}},
      {"the rows beside the drop left in the frame before it", {1, 2}, {}, false, 2, {0, 4, 3, 5, 6, 7}},
      {"the held song moved in the frame before it is dropped back by its row", {}, 4, false, 4,
       {0, 1, 2, 3, 4, 5, 6, 7}},
      {"every row shown but the held one left and songs were added in the frame before the drop",
       {0, 1, 2, 3, 5, 6, 7}, {}, false, 2, {8, 9, 4}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    host(vinaro::action::ClearQueue{});
    queueSongs(8, c.name);
    ConsoleView& view = makeConsole();
    renderWidget(view, kWindow);
    UpNextList& list = view.queueColumn().upNext();
    const auto before = queueIDs(store());
    const std::unique_ptr<QMimeData> held(list.dragData(4));
    {
      // Unseen by the console, as in the frame its refresh waits for.
      const QSignalBlocker unseen(c.shown ? nullptr : &store());
      for (const std::size_t place : c.removed) host(vinaro::action::Remove{before[place]});
      if (c.toFront) host(vinaro::action::Move{before[*c.toFront], 0});
      queueSongs(c.added, std::string(c.name) + " added ");
    }
    if (c.shown) {
      const std::size_t shown = before.size() - c.removed.size();
      nextFrame();
      ASSERT_TRUE(QTest::qWaitFor([&] { return list.rowModels().size() == shown; }, kFramesBound));
    }
    std::vector<std::string> songs = before;
    for (const std::string& id : queueIDs(store())) {
      if (std::find(before.begin(), before.end(), id) == before.end()) songs.push_back(id);
    }
    drop(list, *held, c.destination);
    std::vector<std::string> expected;
    for (const std::size_t place : c.queueAfter) expected.push_back(songs[place]);
    EXPECT_EQ(queueIDs(store()), expected);
  }
}

TEST_F(ConsoleTest, ClearingAsksFirstThenReportsWhatItClearedForThreeSeconds) {
  queueSongs(1);
  ConsoleView& view = makeConsole();
  renderWidget(view, kWindow);
  QueueColumn& column = view.queueColumn();
  ASSERT_TRUE(column.clearButton().isEnabled());

  column.clearButton().click();
  QMessageBox* confirmation = column.clearConfirmation();
  ASSERT_NE(confirmation, nullptr);
  EXPECT_EQ(confirmation->text(), QStringLiteral("Clear the queue?"));
  EXPECT_EQ(confirmation->informativeText(),
            QStringLiteral("This removes all 1 song under Up next. The song playing now keeps playing, and pending "
                           "requests are kept."));
  QAbstractButton* confirm = nullptr;
  for (QAbstractButton* button : confirmation->buttons()) {
    if (button->text() == QStringLiteral("Clear 1 song")) confirm = button;
  }
  ASSERT_NE(confirm, nullptr);
  confirm->click();

  EXPECT_TRUE(store().state().queue.empty());
  auto* notice = view.findChild<SymbolLabel*>(QStringLiteral("clearNotice"));
  ASSERT_NE(notice, nullptr);
  EXPECT_TRUE(notice->isVisible());
  const auto* fade = qobject_cast<QGraphicsOpacityEffect*>(notice->graphicsEffect());
  ASSERT_NE(fade, nullptr) << "the notice fades in";
  EXPECT_LT(fade->opacity(), 1.0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return fade->opacity() == 1.0; }));
  EXPECT_EQ(notice->text(), QStringLiteral("Cleared 1 song"));
  EXPECT_FALSE(column.clearButton().isEnabled());
  scheduler.advance(2.9);
  EXPECT_TRUE(notice->isVisible());
  scheduler.advance(0.2);
  EXPECT_TRUE(QTest::qWaitFor([&] { return !notice->isVisible(); })) << "gone once it has faded out";
}

TEST_F(ConsoleTest, CancellingTheClearKeepsTheQueueAndARefusalShowsInTheErrorLine) {
  queueSongs(2);
  ConsoleView& view = makeConsole();
  renderWidget(view, kWindow);
  view.queueColumn().clearButton().click();
  QMessageBox* confirmation = view.queueColumn().clearConfirmation();
  ASSERT_NE(confirmation, nullptr);
  for (QAbstractButton* button : confirmation->buttons()) {
    if (button->text() == QStringLiteral("Cancel")) button->click();
  }
  EXPECT_EQ(store().state().queue.size(), 2u);

  store().performHostAction(vinaro::action::Remove{"gone"});
  auto* error = view.findChild<QLabel*>(QStringLiteral("hostError"));
  ASSERT_NE(error, nullptr);
  EXPECT_TRUE(error->isVisible());
  EXPECT_EQ(error->text(), QStringLiteral("No queue item with id gone."));
  nextFrame();
  view.queueColumn().upNext().rows()[1]->playNextButton().click();
  EXPECT_FALSE(error->isVisible()) << "the next successful host action clears it";
}

TEST_F(ConsoleTest, TheTransportPlaysSkipsAndFollowsTheState) {
  queueSongs(2);
  ConsoleView& view = makeConsole();
  renderWidget(view, kWindow);
  QueueNowPlaying& nowPlaying = view.queueColumn().nowPlaying();
  EXPECT_TRUE(nowPlaying.playPauseButton().isEnabled());
  EXPECT_FALSE(nowPlaying.skipButton().isEnabled());

  nowPlaying.playPauseButton().click();
  EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::playing);
  EXPECT_EQ(nowPlaying.playPauseButton().symbol(), Symbol::pauseFill);
  EXPECT_EQ(nowPlaying.progress().elapsedText, "0:00");
  scheduler.advance(2);
  EXPECT_EQ(nowPlaying.progress().elapsedText, "0:02") << "the progress moves on every second";

  nowPlaying.skipButton().click();
  EXPECT_EQ(store().state().playback.current->track.title, "Title 2");
  // Two changes within a frame: the second shows once the frame is over.
  nextFrame();
  EXPECT_TRUE(QTest::qWaitFor([&] { return view.queueColumn().model().upNextTitle == "Up next \u00B7 0"; }))
      << view.queueColumn().model().upNextTitle;
}

TEST_F(ConsoleTest, RequestCardsApproveAndRejectAsTheHost) {
  host(vinaro::action::SetMode{vinaro::PartyMode::suggestion});
  const vinaro::Participant ana{"device-ana", "Ana", vinaro::Role::guest};
  for (const char* id : {"a", "b"}) {
    store().dispatch(vinaro::action::Add{vinaro::Track{id, std::string("Wish ") + id, "Lumen", {}, 200, {}, false}},
                     vinaro::Actor::participant(ana));
  }
  ConsoleView& view = makeConsole();
  renderWidget(view, kWindow);
  auto cards = view.requestsColumn().cards();
  ASSERT_EQ(cards.size(), 2u);

  cards[1]->rejectButton().click();
  cards[0]->approveButton().click();
  runPostedEvents();
  nextFrame();
  EXPECT_TRUE(QTest::qWaitFor([&] { return view.requestsColumn().cards().empty(); }));
  ASSERT_EQ(store().state().queue.size(), 1u);
  EXPECT_EQ(store().state().queue[0].track.title, "Wish a");
  const auto& resolved = view.requestsColumn().model().resolved;
  ASSERT_EQ(resolved.size(), 2u);
  EXPECT_EQ(resolved[0].mark, "Added");
  EXPECT_EQ(resolved[1].mark, "Rejected");
}

TEST_F(ConsoleTest, ThePartygoerButtonOpensTheGuestsSheetWhichFollowsThePhones) {
  startHosting();
  phones.push_back(join("bob", "device-bob"));
  ConsoleView& view = makeConsole();
  renderWidget(view, kWindow);
  view.queueColumn().partygoersButton().click();
  GuestsSheet* sheet = view.queueColumn().guestsSheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_EQ(sheet->model().title, "1 partygoer");

  phones.push_back(join("Alice", "device-alice"));
  EXPECT_EQ(sheet->model().title, "2 partygoers");
  ASSERT_EQ(sheet->model().rows.size(), 2u);
  EXPECT_EQ(sheet->model().rows[0].name, "Alice");
  const QImage image = grabWidget(*sheet);
  saveArtifact(image, QStringLiteral("console-guests.png"));
  EXPECT_FALSE(pixelIs(image, 0, image.height() / 2, Palette::cream())) << "the sheet's edge is drawn";
  EXPECT_FALSE(pixelIs(grabWidget(view), 5, kWindow.height() - 5, Palette::cream())) << "the console behind is dimmed";

  sheet->findChild<QAbstractButton*>(QStringLiteral("done"))->click();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(view.queueColumn().guestsSheet(), nullptr);
  EXPECT_TRUE(pixelIs(grabWidget(view), 5, kWindow.height() - 5, Palette::cream())) << "nor dimmed once it is closed";
}

}  // namespace
}  // namespace kovali
