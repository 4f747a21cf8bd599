// Space and Ctrl+Right reach the transport in the DJ console through the window's Party menu;
// a text field or a button with the focus keeps its Space, and Tab shows where it stands, down a long queue too.

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <algorithm>
#include <map>
#include <set>

#include "app/console/console_fixture.h"
#include "app/console/console_view.h"
#include "app/console/queue/queue_column.h"
#include "app/console/queue/queue_row.h"
#include "app/console/queue/up_next_list.h"
#include "app/look/controls/symbol_button.h"
#include "app/shell/window/host_shell_fixture.h"
#include "app/shell/window/main_window.h"
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
};

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

TEST_F(ConsoleKeys, EveryControlTabReachesDrawsItsFocus) {
  queue("s1");
  queue("s2");
  ConsoleView& console = openConsole();
  if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
  std::map<QWidget*, QImage> unfocused;
  for (QWidget* control : console.findChildren<QWidget*>()) {
    if (control->isVisible() && control->isEnabled() && (control->focusPolicy() & Qt::TabFocus)) {
      unfocused[control] = control->grab().toImage();
    }
  }
  ASSERT_FALSE(unfocused.empty());
  unfocused.begin()->first->setFocus();
  std::set<QWidget*> reached;
  for (std::size_t step = 0; step < 2 * unfocused.size() + 8; ++step) {
    QWidget* focused = QApplication::focusWidget();
    ASSERT_NE(focused, nullptr);
    if (console.isAncestorOf(focused) && reached.insert(focused).second) {
      EXPECT_NE(focused->grab().toImage(), unfocused[focused])
          << focused->metaObject()->className() << " " << focused->accessibleName().toStdString();
    }
    QTest::keyClick(focused, Qt::Key_Tab);
  }
  EXPECT_EQ(reached.size(), unfocused.size()) << "Tab reaches every control";
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
