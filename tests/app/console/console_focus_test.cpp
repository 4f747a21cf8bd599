// After a row's button acts, the focus stays where the row stood; the list follows the focus only where the
// DJ moved it or acted on its row, never for changes made elsewhere, which leave the focus on the row now
// standing where the focused one stood.

#include <QApplication>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/console/console_keys_fixture.h"
#include "app/console/library/search_popover.h"
#include "app/console/queue/queue_column.h"
#include "app/console/queue/queue_row.h"
#include "app/console/queue/up_next_list.h"
#include "app/look/controls/symbol_button.h"
#include "app/shell/window/main_window.h"
#include "support/sample_values.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

/// "T1" to "T<count>" but those `left`.
std::vector<std::string> titlesBut(int count, const std::set<std::string>& left) {
  std::vector<std::string> titles;
  for (int n = 1; n <= count; ++n) {
    if (!left.contains("T" + std::to_string(n))) titles.push_back("T" + std::to_string(n));
  }
  return titles;
}

TEST_F(ConsoleKeys, ARowsButtonActsByKeyAndTheFocusStaysWhereTheRowStood) {
  enum Button : bool { playNext, remove };
  enum class View { anywhere, asScrolled, onTheFocus, whereItStood };
  struct Case {
    const char* name;
    int songs;
    std::function<void(UpNextList&)> arrange;  // before the keys
    std::vector<QKeyCombination> keys;
    std::vector<std::string> queueAfter;
    std::optional<vinaro::PlaybackStatus> playback;  // none: as it was before the keys
    std::string focusAfter;                          // empty: a row's button in view
    std::function<void(UpNextList&)> elsewhere = [](UpNextList&) {};  // after the keys: not the DJ's keys
    View view = View::anywhere;
  };
  const auto focusOn = [](const char* title, Button button) {
    return [=](UpNextList& list) { buttonOf(list, title, button).setFocus(); };
  };
  const auto scrollAwayFrom = [&](const char* title, int toEighths = 4, Button button = remove) {
    return [=](UpNextList& list) {
      focusOn(title, button)(list);
      scrollBarOf(list).setValue(scrollBarOf(list).maximum() * toEighths / 8);
    };
  };
  // The focused row stands in the middle of the view, wherever that is at the window's size.
  const auto focusMidView = [&](UpNextList& list) {
    const int height = list.rows().front()->height();
    const int middle = list.findChild<QScrollArea*>()->viewport()->height() / 2 / height;
    list.rows()[static_cast<std::size_t>(middle)]->removeButton().setFocus();
    ASSERT_GE(middle, 3) << "a row well below the top";
    ASSERT_TRUE(inView(*QApplication::focusWidget(), list));
  };
  const auto viewportOf = [](const UpNextList& list) { return list.findChild<QScrollArea*>()->viewport(); };
  // The list scrolled so that the row of `title` stands `rowsBelow` rows above the last wholly in view.
  const auto focusInView = [&](const char* title, Button button, int rowsBelow = 0) {
    return [=](UpNextList& list) {
      const QueueRow* row = rowOf(list, title);
      ASSERT_NE(row, nullptr);
      scrollBarOf(list).setValue(row->geometry().bottom() + 1 + rowsBelow * row->height() -
                                 viewportOf(list)->height());
      focusOn(title, button)(list);
      ASSERT_TRUE(inView(*row, list));
    };
  };
  // The list scrolled to `shortOfTheEnd` pixels before its end; the top row wholly in view's `button` focused.
  const auto focusTopInView = [&](UpNextList& list, Button button, int shortOfTheEnd = 0) {
    scrollBarOf(list).setValue(scrollBarOf(list).maximum() - shortOfTheEnd);
    const auto& rows = list.rows();
    const auto top = std::find_if(rows.begin(), rows.end(), [&](const QueueRow* row) { return inView(*row, list); });
    ASSERT_NE(top, rows.end());
    buttonOf(list, (*top)->model().track.title, button).setFocus();
  };
  const auto focusTopAtTheEnd = [&](UpNextList& list) {
    while (systemPlayer.releaseNext()) runPostedEvents();
    shownTitles(list);
    focusTopInView(list, remove);
  };
  // The window as high as makes the unscrolled view end `eighths` eighths of a row into the sixth row.
  const auto endTheViewInTheSixthRow = [&](UpNextList& list, int eighths) {
    const QueueRow& cut = *list.rows()[5];
    const int shown = viewportOf(list)->height() - cut.mapTo(viewportOf(list), QPoint(0, 0)).y();
    QWidget& window = shell().mainWindow();
    window.windowHandle()->resize(window.width(), window.height() - shown + cut.height() * eighths / 8);
    QCoreApplication::processEvents();
  };
  // The list three eighths of a row short of its end, in a view that ends three quarters into a row; the Remove
  // of the top row wholly in view focused, an eighth of a row below the view's top. When the list loses a row,
  // the view is pulled up to its end by five eighths of a row, and cuts the row now where the focused one stood.
  const auto focusTopShortOfTheEnd = [&](UpNextList& list) {
    endTheViewInTheSixthRow(list, 6);
    focusTopInView(list, remove, list.rows().front()->height() * 3 / 8);
  };
  // At the end of a view that ends in the middle of a row, the top row wholly in view's Play next focused.
  const auto focusPlayNextOnTopAtTheEnd = [&](UpNextList& list) {
    endTheViewInTheSixthRow(list, 4);
    focusTopInView(list, playNext);
  };
  // The view as it ends in the middle of the sixth row; T2's Remove focused.
  const auto cutTheSixthRow = [&](UpNextList& list) {
    const QueueRow& cut = *list.rows()[5];
    endTheViewInTheSixthRow(list, 4);
    focusOn("T2", remove)(list);
    ASSERT_GT(viewportOf(list)->height(), cut.mapTo(viewportOf(list), QPoint(0, cut.height() / 3)).y());
    ASSERT_FALSE(inView(cut, list));
  };
  // A guest's album of `songs` songs "A1"… approved to play next.
  const auto albumApprovedNext = [&](int songs) {
    return [=, this](UpNextList&) {
      store().performHostAction(vinaro::action::SetMode{vinaro::PartyMode::suggestion});
      const vinaro::Participant guest{"device-ana", "Ana", vinaro::Role::guest};
      store().dispatch(vinaro::action::Suggest{vinaro::samples::album("album")}, vinaro::Actor::participant(guest));
      std::vector<vinaro::Track> tracks;
      for (int n = 1; n <= songs; ++n) {
        tracks.push_back(MusicService::track(song("a" + std::to_string(n), "A" + std::to_string(n), "Band")));
      }
      store().performHostAction(vinaro::action::ApproveCollectionRequest{store().state().requests.back().id, tracks,
                                                                         vinaro::QueuePosition::next});
      store().performHostAction(vinaro::action::SetMode{vinaro::PartyMode::collaboration});
    };
  };
  // As a window manager may: below the height the window asks for.
  const auto shrinkTo = [&](std::vector<int> heights) {
    return [=, this](UpNextList&) {
      for (const int height : heights) {
        shell().mainWindow().windowHandle()->resize(MainWindow::defaultSize.width(), height);
        QCoreApplication::processEvents();
      }
    };
  };
  // A press held on the focused button while a song is added elsewhere, released after it.
  const auto holdSpaceOn = [&](const char* title, Button button) {
    return [=](UpNextList& list) {
      focusOn(title, button)(list);
      QTest::keyPress(QApplication::focusWidget(), Qt::Key_Space);
    };
  };
  const auto holdMouseOn = [&](const char* title, Button button) {
    return [=](UpNextList& list) {
      buttonOf(list, title, button).setFocus(Qt::TabFocusReason);
      QTest::mousePress(&buttonOf(list, title, button), Qt::LeftButton);
    };
  };
  const auto addThenRelease = [&](const char* title, Button button, bool byMouse) {
    return [=, this](UpNextList& list) {
      addElsewhere("Late");
      shownTitles(list);
      if (byMouse) {
        QTest::mouseRelease(&buttonOf(list, title, button), Qt::LeftButton);
      } else {
        QTest::keyRelease(&buttonOf(list, title, button), Qt::Key_Space);
      }
    };
  };
  const auto moveElsewhere = [&](std::size_t from, std::int64_t to) {
    return [=, this](UpNextList&) {
      store().performHostAction(vinaro::action::Move{store().state().queue[from].id, to});
    };
  };
  // The search popover, opened by its shortcut, has the focus while the rows change under it;
  // Escape closes it, and the window's focus comes back.
  const auto withSearchOpen = [&](auto arrange) {
    return [=, this](UpNextList& list) {
      arrange(list);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_F, Qt::ControlModifier);
      ASSERT_TRUE(QTest::qWaitFor([&] { return searchPopover() && searchPopover()->field().hasFocus(); }));
    };
  };
  const auto changeUnderSearch = [&](std::function<void()> change) {
    return [=, this](UpNextList& list) {
      SearchPopover& popover = *searchPopover();
      change();
      shownTitles(list);
      EXPECT_EQ(QApplication::focusWidget(), &popover.field()) << "the popover keeps its focus";
      QTest::keyClick(&popover.field(), Qt::Key_Escape);
      EXPECT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == nullptr; }));
    };
  };
  // The engine log, a window of its own, opened by its shortcut and then the active window.
  const auto withEngineLogActive = [&](auto arrange) {
    return [=](UpNextList& list) {
      arrange(list);
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_L, Qt::ControlModifier | Qt::ShiftModifier);
      QWidget* log = nullptr;
      for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->windowTitle() == QStringLiteral("Engine Log")) log = window;
      }
      ASSERT_NE(log, nullptr);
      log->activateWindow();
      ASSERT_TRUE(QTest::qWaitForWindowActive(log));
    };
  };
  // Songs removed elsewhere in one change of the list, as a refresh at the end of a frame shows them.
  const auto removeElsewhere = [&](std::vector<std::string> titles) {
    return [=, this](UpNextList&) {
      std::vector<std::string> ids;
      for (const auto& item : store().state().queue) {
        if (std::find(titles.begin(), titles.end(), item.track.title) != titles.end()) ids.push_back(item.id);
      }
      ASSERT_EQ(ids.size(), titles.size());
      {
        const QSignalBlocker unseen(&store());
        for (std::size_t n = 0; n + 1 < ids.size(); ++n) store().performHostAction(vinaro::action::Remove{ids[n]});
      }
      store().performHostAction(vinaro::action::Remove{ids.back()});
    };
  };
  const auto removeFirst = [&] { store().performHostAction(vinaro::action::Remove{store().state().queue.front().id}); };
  const auto songEnds = [&](UpNextList&) {
    while (systemPlayer.releaseNext()) runPostedEvents();  // the song starts, and plays to its end
    advance(201);
  };
  // The column above the list as high after as before: the next song plays, as the first did.
  const auto songEndsAndNextPlays = [&](UpNextList& list) {
    songEnds(list);
    while (systemPlayer.releaseNext()) runPostedEvents();
  };
  // The queue in order with `moved` taken to the front.
  const auto atTheFront = [](int songs, const char* moved) {
    std::vector<std::string> titles = titlesBut(songs, {moved});
    titles.insert(titles.begin(), moved);
    return titles;
  };
  // The queue in order with "Late" added at the end, or `moved` taken to the end.
  const auto atTheEnd = [](int songs, const char* moved) {
    std::vector<std::string> titles = titlesBut(songs, {moved});
    titles.push_back(moved);
    return titles;
  };
  const auto skipByKey = [](UpNextList&) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right, Qt::ControlModifier);
  };
  const auto playFirst = [&](auto arrange) {
    return [=, this](UpNextList& list) {
      store().togglePlayback();
      shownTitles(list);
      arrange(list);
    };
  };
  const Case cases[] = {
      {"Space twice on Play next moves its row, then the row below it", 5, focusOn("T3", playNext),
       {Qt::Key_Space, Qt::Key_Space}, {"T4", "T3", "T1", "T2", "T5"}, std::nullopt,
       "T5 play next"},
      {"Play next on the last row hands the focus to the row before it", 3, focusOn("T3", playNext),
       {Qt::Key_Space}, {"T3", "T1", "T2"}, std::nullopt, "T2 play next"},
      {"Space on remove leaves the focus on the next row's remove", 4, focusOn("T2", remove),
       {Qt::Key_Space}, {"T1", "T3", "T4"}, std::nullopt, "T3 remove"},
      {"Removing the last row hands the focus to the row before it", 3, focusOn("T3", remove),
       {Qt::Key_Space, Qt::Key_Space}, {"T1"}, std::nullopt, "T1 remove"},
      {"Removing the only row leaves the focus on the list, where Space leaves the party playing", 2,
       playFirst(focusOn("T2", remove)), {Qt::Key_Space, Qt::Key_Space}, {}, std::nullopt, "the list"},
      {"A skip from elsewhere leaves the list where the DJ scrolled it", 60, playFirst(scrollAwayFrom("T2")), {},
       titlesBut(60, {"T1", "T2"}), std::nullopt, "T3 remove",
       [&](UpNextList&) { store().performHostAction(vinaro::action::Skip{}); }, View::asScrolled},
      {"Removing the focused row from elsewhere leaves the list where the DJ scrolled it", 60,
       scrollAwayFrom("T1"), {}, titlesBut(60, {"T1"}), std::nullopt, "T2 remove",
       [&](UpNextList&) { store().performHostAction(vinaro::action::Remove{store().state().queue.front().id}); },
       View::asScrolled},
      {"Space on a row scrolled away from brings the list back to the focus", 40, scrollAwayFrom("T3", 8),
       {Qt::Key_Space}, titlesBut(40, {"T3"}), std::nullopt, "T4 remove", [](UpNextList&) {}, View::onTheFocus},
      {"A click on another row takes the focus from the list and leaves it where the DJ scrolled it", 60,
       scrollAwayFrom("T1", 8), {},
       [] {
         std::vector<std::string> titles = titlesBut(59, {});
         titles.insert(titles.begin(), "T60");
         return titles;
       }(),
       std::nullopt, "kovali::ConsoleView",
       [&](UpNextList& list) { QTest::mouseClick(&buttonOf(list, "T60", playNext), Qt::LeftButton); },
       View::asScrolled},
      {"Shrinking the window keeps the focused row in view", 60, focusOn("T20", remove), {}, titlesBut(60, {}),
       std::nullopt, "T20 remove", [&](UpNextList&) { shell().mainWindow().resize(MainWindow::defaultSize - QSize(0, 200)); },
       View::onTheFocus},
      {"Shrinking the window leaves a list scrolled away from the focus where it was", 60, scrollAwayFrom("T1"),
       {}, titlesBut(60, {}), std::nullopt, "T1 remove",
       [&](UpNextList&) { shell().mainWindow().resize(MainWindow::defaultSize - QSize(0, 200)); }, View::asScrolled},
      {"The first row leaving by a skip while the second's Play next has the focus leaves the list as scrolled",
       60, playFirst(scrollAwayFrom("T3", 4, playNext)), {}, titlesBut(60, {"T1", "T2"}), std::nullopt,
       "T4 play next", [&](UpNextList&) { store().performHostAction(vinaro::action::Skip{}); }, View::asScrolled},
      {"The first row leaving by the DJ's Ctrl+Right while the second's Play next has the focus", 60,
       playFirst(scrollAwayFrom("T3", 6, playNext)), {}, titlesBut(60, {"T1", "T2"}), std::nullopt, "T4 play next",
       skipByKey, View::asScrolled},
      {"The first row leaving as the song ends while the second's Play next has the focus", 60,
       playFirst(scrollAwayFrom("T3", 4, playNext)), {}, titlesBut(60, {"T1", "T2"}), std::nullopt, "T4 play next",
       songEnds, View::asScrolled},
      {"The first row leaving as the song ends while another window is active leaves the list as scrolled", 60,
       playFirst(withEngineLogActive(scrollAwayFrom("T3", 4, playNext))), {}, titlesBut(60, {"T1", "T2"}),
       std::nullopt, "T4 play next", songEnds, View::asScrolled},
      {"The first row removed while the second's Play next has the focus", 60, scrollAwayFrom("T2", 4, playNext), {},
       titlesBut(60, {"T1"}), std::nullopt, "T3 play next",
       [&](UpNextList&) { store().performHostAction(vinaro::action::Remove{store().state().queue.front().id}); },
       View::asScrolled},
      {"Shrinking the window at once keeps the focused row in the middle of the view in view", 60, focusMidView, {},
       titlesBut(60, {}), std::nullopt, "", shrinkTo({500}), View::onTheFocus},
      {"Shrinking the window in steps keeps the focused row in the middle of the view in view", 60, focusMidView, {},
       titlesBut(60, {}), std::nullopt, "", shrinkTo({700, 640, 600, 500}), View::onTheFocus},
      {"Page Down takes the focus along with the view", 60, focusOn("T2", remove), {Qt::Key_PageDown},
       titlesBut(60, {}), std::nullopt, "", [](UpNextList&) {}, View::onTheFocus},
      {"Page Up takes the focus along with the view", 60, focusOn("T60", playNext), {Qt::Key_PageUp},
       titlesBut(60, {}), std::nullopt, "", [](UpNextList&) {}, View::onTheFocus},
      {"Page Down at the end leaves the focus where it is", 60, focusOn("T60", remove), {Qt::Key_PageDown},
       titlesBut(60, {}), std::nullopt, "T60 remove", [](UpNextList&) {}, View::onTheFocus},
      {"Scrolling away keeps Space and Tab on the focused row", 40,
       [&](UpNextList& list) {
         focusOn("T3", remove)(list);
         scrollBarOf(list).setValue(scrollBarOf(list).maximum());
       },
       {Qt::Key_Space, Qt::Key_Tab}, titlesBut(40, {"T3"}), std::nullopt, "T5 play next"},
      {"Space held on Remove across a song added elsewhere removes the row when released", 4,
       holdSpaceOn("T2", remove), {}, {"T1", "T3", "T4", "Late"}, std::nullopt, "T3 remove",
       addThenRelease("T2", remove, false)},
      {"A mouse press held on a Tab-focused Play next across a song added elsewhere moves the row when released", 4,
       holdMouseOn("T3", playNext), {}, {"T3", "T1", "T2", "T4", "Late"}, std::nullopt, "T4 play next",
       addThenRelease("T3", playNext, true)},
      {"A focused row moved out of view elsewhere leaves the focus on the row now in its place", 60,
       focusOn("T2", remove), {}, atTheEnd(60, "T2"), std::nullopt, "T3 remove", moveElsewhere(1, 59),
       View::onTheFocus},
      {"A focused row moved out of a scrolled view elsewhere leaves the focus on the row now in its place", 60,
       focusInView("T30", remove, 3), {}, atTheEnd(60, "T30"), std::nullopt, "T31 remove", moveElsewhere(29, 59),
       View::whereItStood},
      {"The top row removed elsewhere as the view is pulled up by part of a row leaves the focus wholly in view", 20,
       focusTopShortOfTheEnd, {}, titlesBut(20, {"T15"}), std::nullopt, "T16 remove", removeElsewhere({"T15"}),
       View::onTheFocus},
      {"The focused last row removed elsewhere with the one before it leaves the focus on the row now last", 5,
       focusOn("T5", remove), {}, {"T1", "T2", "T3"}, std::nullopt, "T3 remove", removeElsewhere({"T4", "T5"}),
       View::onTheFocus},
      {"Every song ahead of a Play next focused atop the view removed elsewhere leaves the focus on the next row's",
       20, focusPlayNextOnTopAtTheEnd, {}, {"T16", "T17", "T18", "T19", "T20"}, std::nullopt, "T17 play next",
       removeElsewhere(titlesBut(15, {})), View::onTheFocus},
      {"A song moved to the front elsewhere leaves Play next on the row now where the last row in view stood", 60,
       focusInView("T20", playNext), {}, atTheFront(60, "T60"), std::nullopt, "T19 play next", moveElsewhere(59, 0),
       View::whereItStood},
      {"A song moved to the front elsewhere leaves Remove on the row now where the last row in view stood", 60,
       focusInView("T20", remove), {}, atTheFront(60, "T60"), std::nullopt, "T19 remove", moveElsewhere(59, 0),
       View::whereItStood},
      {"The focused song played next from elsewhere leaves Play next on the row now where it stood", 60,
       focusInView("T30", playNext), {}, atTheFront(60, "T30"), std::nullopt, "T29 play next",
       moveElsewhere(29, 0), View::whereItStood},
      {"An album approved to play next leaves the focus on the row now where a middle row stood", 60, focusMidView,
       {},
       [] {
         std::vector<std::string> titles = titlesBut(11, {});
         for (std::string& title : titles) title[0] = 'A';
         for (const std::string& title : titlesBut(60, {})) titles.push_back(title);
         return titles;
       }(),
       std::nullopt, "", albumApprovedNext(11), View::whereItStood},
      {"The first song ending with the list at its end leaves the focus on the top row in view where it stands", 60,
       playFirst(focusTopAtTheEnd), {}, titlesBut(60, {"T1", "T2"}), std::nullopt, "", songEndsAndNextPlays,
       View::whereItStood},
      {"A focused row moved elsewhere to the row the view cuts in half leaves the focus on the row now in its place",
       60, cutTheSixthRow, {}, [] {
         std::vector<std::string> titles = titlesBut(60, {"T2"});
         titles.insert(titles.begin() + 5, "T2");
         return titles;
       }(),
       std::nullopt, "T3 remove", moveElsewhere(1, 5), View::whereItStood},
      {"A song added elsewhere leaves the focus on a row the DJ scrolled away from", 60, scrollAwayFrom("T3"), {},
       atTheEnd(60, "Late"), std::nullopt, "T3 remove", [&](UpNextList&) { addElsewhere("Late"); },
       View::asScrolled},
      {"The search popover keeps its focus as a song is added, and the row's button has it back", 4,
       withSearchOpen(focusOn("T2", remove)), {}, {"T1", "T2", "T3", "T4", "Late"}, std::nullopt, "T2 remove",
       changeUnderSearch([&] { addElsewhere("Late"); })},
      {"The search popover keeps its focus as the focused Play next turns off, and the next row's has it back", 4,
       withSearchOpen(focusOn("T2", playNext)), {}, {"T2", "T3", "T4"}, std::nullopt, "T3 play next",
       changeUnderSearch(removeFirst)},
      // Last: it leaves the party playing.
      {"A clicked button leaves the focus, and Space plays",
       3,
       [](UpNextList& list) {
         QTest::mouseClick(&buttonOf(list, "T3", remove), Qt::LeftButton);
       },
       {Qt::Key_Space}, {"T2"}, vinaro::PlaybackStatus::playing, "kovali::ConsoleView"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_FALSE(store().state().playback.current) << "each case starts with nothing playing";
    queueSongs(c.songs, c.name);
    ConsoleView& console = openConsole();
    UpNextList& list = console.queueColumn().upNext();
    shownTitles(list);
    c.arrange(list);
    const vinaro::PlaybackStatus before = store().state().playback.status;
    const int scrolledTo = scrollBarOf(list).value();
    for (const QKeyCombination key : c.keys) {
      QTest::keyClick(QApplication::focusWidget(), key.key(), key.keyboardModifiers());
      shownTitles(list);
    }
    const QWidget* viewport = list.findChild<QScrollArea*>()->viewport();
    const auto whereInView = [&](const QWidget* widget) {
      return widget ? widget->mapToGlobal(QPoint()) - viewport->mapToGlobal(QPoint()) : QPoint();
    };
    const QPoint stood = whereInView(list.window()->focusWidget());
    c.elsewhere(list);
    EXPECT_EQ(shownTitles(list), c.queueAfter);
    EXPECT_EQ(store().state().playback.status, c.playback.value_or(before));
    const QWidget* focused = QApplication::focusWidget();
    if (c.focusAfter.empty()) {
      EXPECT_TRUE(focused && list.isAncestorOf(focused) && focused != &list) << focusIn(list);
    } else {
      EXPECT_EQ(focusIn(list), c.focusAfter);
    }
    if (c.view == View::asScrolled) {
      EXPECT_EQ(scrollBarOf(list).value(), scrolledTo);
    } else if (c.view == View::onTheFocus) {
      EXPECT_TRUE(focused && inView(*focused, list)) << focusIn(list);
    } else if (c.view == View::whereItStood) {
      settleLayouts();  // the view's range too
      EXPECT_TRUE(focused && inView(*focused, list)) << focusIn(list);
      EXPECT_EQ(whereInView(focused), stood) << focusIn(list);
    }
    store().performHostAction(vinaro::action::ClearQueue{});
    if (store().state().playback.current) store().performHostAction(vinaro::action::Skip{});
    shell().mainWindow().windowHandle()->resize(MainWindow::defaultSize);
    QCoreApplication::processEvents();
  }
}

}  // namespace
}  // namespace kovali
