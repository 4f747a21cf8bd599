#include "app/console/console_keys_fixture.h"

#include <gtest/gtest.h>

#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <algorithm>

#include "app/console/library/sidebar.h"
#include "app/console/queue/queue_row.h"
#include "app/console/queue/up_next_list.h"
#include "app/look/controls/symbol_button.h"
#include "app/look/frame_refresh.h"
#include "app/shell/window/host_view_mode.h"
#include "app/shell/window/main_window.h"

namespace kovali {

ConsoleView& ConsoleKeys::openConsole() {
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

void ConsoleKeys::queueSongs(int count, const std::string& batch) {
  for (int n = 1; n <= count; ++n) {
    const std::string id = batch + std::to_string(n);
    catalog.songs.push_back(song(id, "T" + std::to_string(n), "Band"));
    queue(id);
  }
}

void ConsoleKeys::addElsewhere(const std::string& title) {
  const std::string id = "added " + title;
  catalog.songs.push_back(song(id, title, "Band"));
  queue(id);
}

SearchPopover* ConsoleKeys::searchPopover() {
  return dynamic_cast<ConsoleView&>(*shell().mainWindow().currentView()).sidebar().searchPopover();
}

std::vector<std::string> ConsoleKeys::shownTitles(const UpNextList& list) {
  const auto titles = [](const auto& items, auto title) {
    std::vector<std::string> all;
    for (const auto& item : items) all.push_back(title(item));
    return all;
  };
  const auto shown = [&] { return titles(list.rowModels(), [](const auto& row) { return row.track.title; }); };
  const auto queued = [&] { return titles(store().state().queue, [](const auto& item) { return item.track.title; }); };
  // The screen refreshes once a frame of virtual time is over.
  advance(FrameRefresh::frameSeconds);
  EXPECT_TRUE(QTest::qWaitFor([&] { return shown() == queued(); })) << "the list catches up with the queue";
  QCoreApplication::processEvents();
  return shown();
}

std::string focusIn(const UpNextList& list) {
  const QWidget* focused = list.window()->focusWidget();
  if (focused == &list) return "the list";
  for (const QueueRow* row : list.rows()) {
    if (focused == &row->playNextButton()) return row->model().track.title + " play next";
    if (focused == &row->removeButton()) return row->model().track.title + " remove";
  }
  return focused ? focused->metaObject()->className() : "nothing";
}

const QueueRow* rowOf(const UpNextList& list, const std::string& title) {
  const auto made = [&]() -> const QueueRow* {
    const auto& rows = list.rows();
    const auto found =
        std::find_if(rows.begin(), rows.end(), [&](const QueueRow* row) { return row->model().track.title == title; });
    return found == rows.end() ? nullptr : *found;
  };
  if (const QueueRow* row = made()) return row;
  // Only the rows near the view are made: the list scrolls as little as brings the row into view.
  const auto& models = list.rowModels();
  const auto listed = std::find_if(models.begin(), models.end(), [&](const auto& row) { return row.track.title == title; });
  if (listed == models.end() || list.rows().empty()) return nullptr;
  const int height = list.rows().front()->height();
  const int top = list.rows().front()->y() + static_cast<int>(listed - models.begin() - *placeOf(list, *list.rows().front())) * height;
  QScrollBar& bar = scrollBarOf(list);
  const int viewHeight = list.findChild<QScrollArea*>()->viewport()->height();
  bar.setValue(top < bar.value() ? top : top + height - viewHeight);
  return made();
}

std::optional<std::size_t> placeOf(const UpNextList& list, const QueueRow& row) {
  const auto& models = list.rowModels();
  const auto found = std::find_if(models.begin(), models.end(), [&](const auto& model) { return model.id == row.model().id; });
  if (found == models.end()) return std::nullopt;
  return static_cast<std::size_t>(found - models.begin());
}

std::optional<std::size_t> focusedPlace(const UpNextList& list) {
  for (const QueueRow* row : list.rows()) {
    if (row->isAncestorOf(list.window()->focusWidget())) return placeOf(list, *row);
  }
  return std::nullopt;
}

std::size_t rowsMadeBound(const UpNextList& list) {
  if (list.rows().empty()) return 0;
  // The rows in view, a part row at each edge, six beyond each edge and the focus with its neighbours;
  // as many again hidden for the next scroll.
  const int inView = list.findChild<QScrollArea*>()->viewport()->height() / list.rows().front()->height();
  return 2 * static_cast<std::size_t>(inView + 2 + 2 * 6 + 3);
}

std::size_t focusChainLength(const QWidget& window) {
  std::size_t length = 1;
  for (const QWidget* next = window.nextInFocusChain(); next != &window; next = next->nextInFocusChain()) ++length;
  return length;
}

SymbolButton& buttonOf(const UpNextList& list, const std::string& title, bool remove) {
  const QueueRow* row = rowOf(list, title);
  if (!row) {
    ADD_FAILURE() << "no row " << title;
    static SymbolButton none(Symbol::xmark, QString(), {});
    return none;
  }
  return remove ? row->removeButton() : row->playNextButton();
}

QScrollBar& scrollBarOf(const UpNextList& list) { return *list.findChild<QScrollArea*>()->verticalScrollBar(); }

bool inView(const QWidget& widget, const UpNextList& list) {
  const QWidget* viewport = list.findChild<QScrollArea*>()->viewport();
  const QWidget* window = list.window();
  if (!viewport->isAncestorOf(&widget)) return false;  // such as the list itself, holding the focus
  return viewport->rect().contains(QRect(widget.mapTo(viewport, QPoint(0, 0)), widget.size())) &&
         window->rect().contains(QRect(widget.mapTo(window, QPoint(0, 0)), widget.size()));
}

}  // namespace kovali
