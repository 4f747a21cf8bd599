#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "app/console/console_view.h"
#include "app/shell/window/host_shell_fixture.h"

class QScrollBar;
class QWidget;

namespace kovali {

class QueueRow;
class SearchPopover;
class SymbolButton;
class UpNextList;

/// The DJ console on the shell's main window, active, for the tests of its keys and its focus.
class ConsoleKeys : public HostShellTest {
 protected:
  ConsoleView& openConsole();
  /// Puts songs "T1" to "T<count>" into the queue, with ids of `batch`.
  void queueSongs(int count, const std::string& batch = "t");
  /// Adds the song "<title>" to the queue, as a phone might while the DJ is busy with the list.
  void addElsewhere(const std::string& title);
  SearchPopover* searchPopover();
  /// The titles the list shows, once it shows the queue as the store has it.
  std::vector<std::string> shownTitles(const UpNextList& list);
};

/// The row button or other widget that has the focus of the list's window, also while another window is
/// active, as "T3 remove", "T4 play next" or "the list".
std::string focusIn(const UpNextList& list);
/// The row of `title`, or none; the list scrolls to a row it lists but has not made.
const QueueRow* rowOf(const UpNextList& list, const std::string& title);
/// The place in the list of the song `row` shows.
std::optional<std::size_t> placeOf(const UpNextList& list, const QueueRow& row);
/// The place of the row that has the focus of the list's window.
std::optional<std::size_t> focusedPlace(const UpNextList& list);
/// The most rows the list may have made, however long the queue: what its view shows and a few more.
std::size_t rowsMadeBound(const UpNextList& list);
/// How many widgets the Tab chain of `window` passes through.
std::size_t focusChainLength(const QWidget& window);
/// The button of the row of `title`; a stand-in and a failure when no row shows it.
SymbolButton& buttonOf(const UpNextList& list, const std::string& title, bool remove);
QScrollBar& scrollBarOf(const UpNextList& list);
/// Whether `widget`, in the list's rows, stands wholly inside the list's view, and the window shows it.
bool inView(const QWidget& widget, const UpNextList& list);

}  // namespace kovali
