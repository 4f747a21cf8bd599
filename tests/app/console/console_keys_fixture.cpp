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
  const auto shown = [&] { return titles(list.rows(), [](const QueueRow* row) { return row->model().track.title; }); };
  const auto queued = [&] { return titles(store().state().queue, [](const auto& item) { return item.track.title; }); };
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
  const auto& rows = list.rows();
  const auto found =
      std::find_if(rows.begin(), rows.end(), [&](const QueueRow* row) { return row->model().track.title == title; });
  return found == rows.end() ? nullptr : *found;
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
