// Space and Ctrl+Right reach the transport in the DJ console through the window's Party menu;
// a text field or a button with the focus keeps its Space, and Tab shows where it stands, down a long queue too.
// After a row's button acts, the focus stays where the row stood; Tab follows the rows as shown, and the
// list follows the focus only where the DJ moved it or acted on its row, never for changes made elsewhere.

#include <QApplication>
#include <QLineEdit>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QWindow>
#include <algorithm>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "app/console/console_fixture.h"
#include "app/console/console_view.h"
#include "app/console/library/search_popover.h"
#include "app/console/library/sidebar.h"
#include "app/console/queue/queue_column.h"
#include "app/console/queue/queue_row.h"
#include "app/console/queue/up_next_list.h"
#include "app/console/requests/requests_column.h"
#include "app/look/controls/symbol_button.h"
#include "app/shell/window/host_view_mode.h"
#include "app/shell/window/host_shell_fixture.h"
#include "app/shell/window/main_window.h"
#include "app/shell/window/view_picker.h"
#include "support/focus_rings.h"
#include "support/sample_values.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

class ConsoleKeys : public HostShellTest {
 protected:
  ConsoleView& openConsole() {
    makeShell();
    shell().launch();
    shell().show(HostViewMode::console);
    MainWindow& window = shell().mainWindow();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    auto* console = dynamic_cast<ConsoleView*>(window.currentView());
    EXPECT_NE(console, nullptr);
    return *console;
  }

  /// Puts songs "T1" to "T<count>" into the queue, with ids of `batch`.
  void queueSongs(int count, const std::string& batch = "t") {
    for (int n = 1; n <= count; ++n) {
      const std::string id = batch + std::to_string(n);
      catalog.songs.push_back(song(id, "T" + std::to_string(n), "Band"));
      queue(id);
    }
  }

  /// Adds the song "<title>" to the queue, as a phone might while the DJ is busy with the list.
  void addElsewhere(const std::string& title) {
    const std::string id = "added " + title;
    catalog.songs.push_back(song(id, title, "Band"));
    queue(id);
  }

  SearchPopover* searchPopover() {
    return dynamic_cast<ConsoleView&>(*shell().mainWindow().currentView()).sidebar().searchPopover();
  }

  /// The titles the list shows, once it shows the queue as the store has it.
  std::vector<std::string> shownTitles(const UpNextList& list) {
    const auto titles = [](const auto& items, auto title) {
      std::vector<std::string> all;
      for (const auto& item : items) all.push_back(title(item));
      return all;
    };
    const auto shown = [&] { return titles(list.rows(), [](const QueueRow* row) { return row->model().track.title; }); };
    const auto queued = [&] { return titles(store().state().queue, [](const auto& item) { return item.track.title; }); };
    EXPECT_TRUE(QTest::qWaitFor([&] { return shown() == queued(); })) << "the list catches up with the queue";
    QCoreApplication::processEvents();
    return shown();
  }
};

/// The row button or other widget that has the focus of the list's window, also while another window is
/// active, as "T3 remove", "T4 play next" or "the list".
std::string focusIn(const UpNextList& list) {
  const QWidget* focused = list.window()->focusWidget();
  if (focused == &list) return "the list";
  for (const QueueRow* row : list.rows()) {
    if (focused == &row->playNextButton()) return row->model().track.title + " play next";
    if (focused == &row->removeButton()) return row->model().track.title + " remove";
  }
  return focused ? focused->metaObject()->className() : "nothing";
}

/// The row of `title`, or none.
const QueueRow* rowOf(const UpNextList& list, const std::string& title) {
  const auto& rows = list.rows();
  const auto found =
      std::find_if(rows.begin(), rows.end(), [&](const QueueRow* row) { return row->model().track.title == title; });
  return found == rows.end() ? nullptr : *found;
}

/// The button of the row of `title`; a stand-in and a failure when no row shows it.
SymbolButton& buttonOf(const UpNextList& list, const std::string& title, bool remove) {
  const QueueRow* row = rowOf(list, title);
  if (!row) {
    ADD_FAILURE() << "no row " << title;
    static SymbolButton none(Symbol::xmark, QString(), {});
    return none;
  }
  return remove ? row->removeButton() : row->playNextButton();
}

/// "T1" to "T<count>" but those `left`.
std::vector<std::string> titlesBut(int count, const std::set<std::string>& left) {
  std::vector<std::string> titles;
  for (int n = 1; n <= count; ++n) {
    if (!left.contains("T" + std::to_string(n))) titles.push_back("T" + std::to_string(n));
  }
  return titles;
}

QScrollBar& scrollBarOf(const UpNextList& list) { return *list.findChild<QScrollArea*>()->verticalScrollBar(); }

/// Whether `widget` stands wholly inside the list's view, and the window shows it.
bool inView(const QWidget& widget, const UpNextList& list) {
  const QWidget* viewport = list.findChild<QScrollArea*>()->viewport();
  const QWidget* window = list.window();
  return viewport->rect().contains(QRect(widget.mapTo(viewport, QPoint(0, 0)), widget.size())) &&
         window->rect().contains(QRect(widget.mapTo(window, QPoint(0, 0)), widget.size()));
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
  // The list scrolled so that the row of `title` is the last wholly in view.
  const auto focusLastInView = [&](const char* title, Button button) {
    return [=](UpNextList& list) {
      const QueueRow* row = rowOf(list, title);
      ASSERT_NE(row, nullptr);
      scrollBarOf(list).setValue(row->geometry().bottom() + 1 - viewportOf(list)->height());
      focusOn(title, button)(list);
      ASSERT_TRUE(inView(*row, list));
    };
  };
  const auto focusTopAtTheEnd = [&](UpNextList& list) {
    while (systemPlayer.releaseNext()) runPostedEvents();
    shownTitles(list);
    scrollBarOf(list).setValue(scrollBarOf(list).maximum());
    const auto& rows = list.rows();
    const auto top = std::find_if(rows.begin(), rows.end(), [&](const QueueRow* row) { return inView(*row, list); });
    ASSERT_NE(top, rows.end());
    (*top)->removeButton().setFocus();
  };
  // The window as high as makes the view cut the sixth row in half; T2's Remove focused.
  const auto cutTheSixthRow = [&](UpNextList& list) {
    const QueueRow& cut = *list.rows()[5];
    const int shown = viewportOf(list)->height() - cut.mapTo(viewportOf(list), QPoint(0, 0)).y();
    QWidget& window = shell().mainWindow();
    window.windowHandle()->resize(window.width(), window.height() - shown + cut.height() / 2);
    QCoreApplication::processEvents();
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
      {"A song moved to the front elsewhere leaves Play next on the row now where the last row in view stood", 60,
       focusLastInView("T20", playNext), {}, atTheFront(60, "T60"), std::nullopt, "T19 play next", moveElsewhere(59, 0),
       View::whereItStood},
      {"A song moved to the front elsewhere leaves Remove on the row now where the last row in view stood", 60,
       focusLastInView("T20", remove), {}, atTheFront(60, "T60"), std::nullopt, "T19 remove", moveElsewhere(59, 0),
       View::whereItStood},
      {"The focused song played next from elsewhere leaves Play next on the row now where it stood", 60,
       focusLastInView("T30", playNext), {}, atTheFront(60, "T30"), std::nullopt, "T29 play next",
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

TEST_F(ConsoleKeys, TabFollowsTheRowsAsShownAfterMovesRemovalsInsertionsAndSkips) {
  queueSongs(7);
  ConsoleView& console = openConsole();
  UpNextList& list = console.queueColumn().upNext();
  QTest::mouseClick(&buttonOf(list, "T3", false), Qt::LeftButton);
  shownTitles(list);
  QTest::mouseClick(&buttonOf(list, "T5", false), Qt::LeftButton);
  shownTitles(list);
  QTest::mouseClick(&buttonOf(list, "T2", true), Qt::LeftButton);
  catalog.songs.push_back(song("t8", "T8", "Band"));
  queue("t8");
  shownTitles(list);
  QTest::mouseClick(&buttonOf(list, "T8", false), Qt::LeftButton);
  shownTitles(list);
  store().togglePlayback();
  store().performHostAction(vinaro::action::Skip{});
  const std::vector<std::string> shown = shownTitles(list);
  ASSERT_GE(shown.size(), 4u);

  buttonOf(list, shown.front(), true).setFocus();
  std::vector<std::string> forth = {focusIn(list)};
  for (std::size_t step = 1; step < 2 * shown.size() - 1; ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    forth.push_back(focusIn(list));
  }
  std::vector<std::string> expected = {shown.front() + " remove"};
  for (std::size_t place = 1; place < shown.size(); ++place) {
    expected.push_back(shown[place] + " play next");
    expected.push_back(shown[place] + " remove");
  }
  EXPECT_EQ(forth, expected);
  std::vector<std::string> back = {focusIn(list)};
  for (std::size_t step = 1; step < expected.size(); ++step) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    back.push_back(focusIn(list));
  }
  EXPECT_EQ(back, std::vector(expected.rbegin(), expected.rend()));
}

TEST_F(ConsoleKeys, TabIntoAScrolledListFocusesARowInViewAndTheListFollows) {
  queueSongs(60);
  ConsoleView& console = openConsole();
  UpNextList& list = console.queueColumn().upNext();
  shownTitles(list);
  const auto& rows = list.rows();
  QScrollBar& bar = scrollBarOf(list);
  struct Case {
    const char* name;
    Qt::Key key;
    std::function<QWidget&()> from;
  } cases[] = {
      {"Tab from the control before the list", Qt::Key_Tab,
       [&]() -> QWidget& { return console.queueColumn().clearButton(); }},
      {"Shift+Tab from the control after the list", Qt::Key_Backtab,
       [&]() -> QWidget& {
         QWidget* after = rows.back()->removeButton().nextInFocusChain();
         while (!(after->isVisible() && after->isEnabled() && (after->focusPolicy() & Qt::TabFocus))) {
           after = after->nextInFocusChain();
         }
         return *after;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    bar.setValue(bar.maximum() / 2);
    QCoreApplication::processEvents();
    c.from().setFocus();
    const int scrolledTo = bar.value();
    QTest::keyClick(QApplication::focusWidget(), c.key);
    QCoreApplication::processEvents();
    const QWidget* focused = QApplication::focusWidget();
    ASSERT_TRUE(list.isAncestorOf(focused)) << focusIn(list);
    EXPECT_TRUE(inView(*focused, list)) << focusIn(list);
    EXPECT_EQ(bar.value(), scrolledTo) << "the row was in view already";
    QTest::keyClick(QApplication::focusWidget(), c.key);
    QTest::keyClick(QApplication::focusWidget(), c.key);
    QTest::keyClick(QApplication::focusWidget(), c.key);
    QCoreApplication::processEvents();
    EXPECT_TRUE(inView(*QApplication::focusWidget(), list)) << "the list follows: " << focusIn(list);
  }
}

TEST_F(ConsoleKeys, SpaceInAFocusedTextFieldOrButtonIsTheirsAndPlaysElsewhere) {
  queue("s1");
  queue("s2");
  queue("s3");
  ConsoleView& console = openConsole();
  EXPECT_EQ(QApplication::focusWidget(), &console) << "the console, not its first control, takes the focus";
  auto* field = new QLineEdit(&console.queueColumn());
  field->show();
  field->setFocus();
  ASSERT_TRUE(field->hasFocus());

  QTest::keyClick(field, Qt::Key_Space);
  QTest::keyClick(field, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(field->text(), QStringLiteral(" "));
  EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::stopped);
  EXPECT_EQ(store().state().queue.size(), 3u);

  SymbolButton& remove = console.queueColumn().upNext().rows()[2]->removeButton();
  remove.setFocus();
  QTest::keyClick(&remove, Qt::Key_Space);
  ASSERT_EQ(store().state().queue.size(), 2u) << "the focused remove button takes the Space";
  EXPECT_EQ(store().state().queue.back().track.title, "Second") << "and removes its own row";
  EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::stopped) << "and playback stays as it was";

  console.queueColumn().setFocus();
  QTest::keyClick(&console.queueColumn(), Qt::Key_Space);
  EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::playing) << "Space plays elsewhere";
  QTest::keyClick(&console.queueColumn(), Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(store().state().playback.current->track.title, "Second") << "Ctrl+Right skips";
}

TEST_F(ConsoleKeys, SpaceActsOnTheFocusedPickerAndPlaysOnceTheFocusLeavesTheList) {
  queueSongs(4);
  ConsoleView& console = openConsole();
  UpNextList& list = console.queueColumn().upNext();
  const auto onPicker = [&](HostViewMode mode) {
    return [=, this] { shell().mainWindow().picker().segment(mode)->setFocus(); };
  };
  const auto thenOn = [&](const char* title, std::function<void()> act) {
    return [=, &list] {
      buttonOf(list, title, true).setFocus(Qt::TabFocusReason);
      act();
    };
  };
  const auto escape = [] { QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape); };
  struct Case {
    const char* name;
    HostViewMode page;
    std::function<void()> focus;  // before Space
    std::string focusAfter;       // empty: the focused control keeps the focus and the Space, the party as it was
  } cases[] = {
      {"the picker on the party screen", HostViewMode::party, onPicker(HostViewMode::party), ""},
      {"the picker on DJ Controls", HostViewMode::console, onPicker(HostViewMode::console), ""},
      {"the picker on Settings", HostViewMode::settings, onPicker(HostViewMode::settings), ""},
      {"a click on the console's background", HostViewMode::console,
       thenOn("T2", [&] { QTest::mouseClick(&console.requestsColumn(), Qt::LeftButton, {}, QPoint(150, 400)); }),
       "kovali::ConsoleView"},
      {"a click on the picker bar's background", HostViewMode::console, thenOn("T2", [&] {
         QWidget& bar = *shell().mainWindow().picker().parentWidget();
         QTest::mouseClick(&bar, Qt::LeftButton, {}, QPoint(10, bar.height() / 2));
       }),
       "kovali::ConsoleView"},
      {"Escape on a row's button", HostViewMode::console, thenOn("T3", escape), "kovali::ConsoleView"},
      {"Escape on the list holding the focus itself", HostViewMode::console, thenOn("T3", [&] {
         list.setFocus();
         escape();
       }),
       "kovali::ConsoleView"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    shell().show(c.page);
    c.focus();
    const std::string focused = focusIn(list);
    const std::vector<std::string> queued = shownTitles(list);
    const vinaro::PlaybackStatus before = store().state().playback.status;
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_EQ(shell().viewMode().mode(), c.page);
    EXPECT_EQ(focusIn(list), c.focusAfter.empty() ? focused : c.focusAfter);
    if (c.focusAfter.empty()) {
      EXPECT_EQ(store().state().playback.status, before);
      EXPECT_EQ(shownTitles(list), queued);
      continue;
    }
    EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::playing);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_NE(store().state().playback.status, vinaro::PlaybackStatus::playing) << "and the next Space pauses";
  }
}

TEST_F(ConsoleKeys, EveryControlTabReachesDrawsAFocusRingAloneAtThreeToOneOrMore) {
  queueSongs(3);
  ConsoleView& console = openConsole();
  MainWindow& window = shell().mainWindow();
  std::vector<QWidget*> controls = expectTabReachesEveryStop(console);
  for (const HostViewMode mode : vinaro::allCases<HostViewMode>()) controls.push_back(window.picker().segment(mode));
  controls.push_back(&console.queueColumn().upNext());  // it holds the focus once its last row goes by key
  const double weakest = expectFocusRings(window, controls);
  for (QWidget* control : controls) {
    const auto* button = qobject_cast<SymbolButton*>(control);
    if (button && !button->text().isEmpty()) expectNothingUnderTheRing(window, *control);
  }
  RecordProperty("weakestRingContrast", QString::number(weakest, 'f', 2).toStdString());
}

TEST_F(ConsoleTest, TabWalksTheRowsOfALongQueueBothWaysAsTheListFollows) {
  queueSongs(80);
  ConsoleView& view = makeConsole();
  renderWidget(view, MainWindow::defaultSize);
  view.activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
  const auto& rows = view.queueColumn().upNext().rows();
  const auto focusedRow = [&] {
    return std::find_if(rows.begin(), rows.end(),
                        [](const QueueRow* row) { return row->isAncestorOf(QApplication::focusWidget()); }) -
           rows.begin();
  };
  rows[0]->removeButton().setFocus();
  for (int step = 0; step < 120; ++step) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  EXPECT_EQ(focusedRow(), 60) << "two buttons a row, and the first row's play next is off";
  for (int step = 0; step < 60; ++step) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
  EXPECT_EQ(focusedRow(), 30);
}

}  // namespace
}  // namespace kovali
