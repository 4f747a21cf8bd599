// Space and Ctrl+Right reach the transport in the DJ console through the window's Party menu;
// a text field with the focus keeps them.

#include <QLineEdit>
#include <QTest>

#include "app/console/console_view.h"
#include "app/console/queue/queue_column.h"
#include "app/look/controls/symbol_button.h"
#include "app/shell/window/host_shell_fixture.h"

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

TEST_F(ConsoleKeys, SpaceInAFocusedTextFieldTypesASpaceAndLeavesPlaybackAlone) {
  queue("s1");
  queue("s2");
  ConsoleView& console = openConsole();
  auto* field = new QLineEdit(&console.queueColumn());
  field->show();
  field->setFocus();
  ASSERT_TRUE(field->hasFocus());

  QTest::keyClick(field, Qt::Key_Space);
  QTest::keyClick(field, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(field->text(), QStringLiteral(" "));
  EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::stopped);
  EXPECT_EQ(store().state().queue.size(), 2u);

  SymbolButton& clear = console.queueColumn().clearButton();
  clear.setFocus();
  QTest::keyClick(&clear, Qt::Key_Space);
  EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::playing) << "Space plays elsewhere";
  EXPECT_EQ(console.queueColumn().clearConfirmation(), nullptr) << "and does not press the focused button";
  QTest::keyClick(&clear, Qt::Key_Right, Qt::ControlModifier);
  EXPECT_EQ(store().state().playback.current->track.title, "Second") << "Ctrl+Right skips";
}

}  // namespace
}  // namespace kovali
