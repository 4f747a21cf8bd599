// Space and Ctrl+Right reach the transport in the DJ console through the window's Party menu;
// a text field or a button with the focus keeps its Space, and Tab shows where it stands, down a long queue too.
// Tab follows the rows as shown, and the list follows the focus where the DJ moved it.

#include <QApplication>
#include <QLineEdit>
#include <QScrollBar>
#include <QTest>
#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "app/console/console_fixture.h"
#include "app/console/console_keys_fixture.h"
#include "app/console/console_view.h"
#include "app/console/queue/queue_column.h"
#include "app/console/queue/queue_row.h"
#include "app/console/queue/up_next_list.h"
#include "app/console/requests/requests_column.h"
#include "app/look/controls/symbol_button.h"
#include "app/shell/window/host_view_mode.h"
#include "app/shell/window/main_window.h"
#include "app/shell/window/view_picker.h"
#include "support/focus_rings.h"
#include "support/widget_rendering.h"

namespace kovali {
namespace {

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

TEST_F(ConsoleTest, TabWalksTheRowsOfALongQueueBothWaysAsTheListFollowsWithinABoundOfWork) {
  for (const int songs : {80, 10'000}) {
    SCOPED_TRACE(std::to_string(songs) + " songs");
    if (!store().state().queue.empty()) host(vinaro::action::ClearQueue{});
    loadSongs(songs, std::to_string(songs) + "-");
    ConsoleView& view = makeConsole();
    renderWidget(view, MainWindow::defaultSize);
    view.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&view));
    const UpNextList& list = view.queueColumn().upNext();
    ASSERT_EQ(list.rowModels().size(), static_cast<std::size_t>(songs));
    list.rows().front()->removeButton().setFocus();
    for (int step = 0; step < 120; ++step) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(focusedPlace(list), 60u) << "two buttons a row, and the first row's play next is off";
    for (int step = 0; step < 60; ++step) QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
    EXPECT_EQ(focusedPlace(list), 30u);
    EXPECT_TRUE(inView(*QApplication::focusWidget(), list));
    // Every row made, or linked into the Tab chain, would cost each change and each Tab their count.
    EXPECT_LE(view.findChildren<QueueRow*>().size(), rowsMadeBound(list));
    EXPECT_LE(focusChainLength(view), 600u);
  }
}

}  // namespace
}  // namespace kovali
