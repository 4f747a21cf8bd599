#include "app/shell/window/host_shell_fixture.h"

#include <algorithm>

namespace kovali {

HostShellTest::HostShellTest() {
  catalog.songs = {song("s1", "Rock & Roll", "Simon & Garfunkel"), song("s2", "Second", "Band"),
                   song("s3", "Third", "Band")};
  makeStore();
}

HostShellTest::~HostShellTest() { shell_.reset(); }

HostShell& HostShellTest::makeShell() {
  shell_.reset();
  shell_ = std::make_unique<HostShell>(HostShell::Services{store(), scheduler, preferences, artwork, djPIN()});
  return *shell_;
}

Song HostShellTest::song(const std::string& id, const std::string& title, const std::string& artist) {
  Song s;
  s.id = id;
  s.title = title;
  s.artistName = artist;
  s.duration = 200;
  return s;
}

void HostShellTest::queue(const std::string& id) {
  const auto found =
      std::find_if(catalog.songs.begin(), catalog.songs.end(), [&](const Song& s) { return s.id == id; });
  ASSERT_NE(found, catalog.songs.end()) << id;
  const auto result = store().dispatch(vinaro::action::Add{MusicService::track(*found)}, vinaro::Actor::host());
  ASSERT_TRUE(result) << result.error().message;
}

QAction* HostShellTest::windowMenuItem(const QString& menu, const QString& text) {
  for (QAction* title : shell_->mainWindow().menuBar()->actions()) {
    if (title->text() != menu || !title->menu()) continue;
    for (QAction* item : title->menu()->actions()) {
      if (item->text() == text) return item;
    }
  }
  ADD_FAILURE() << "no item " << text.toStdString() << " in the menu " << menu.toStdString();
  static QAction none;
  return &none;
}

QStringList HostShellTest::texts(const QMenu& menu) {
  QStringList items;
  for (const QAction* action : menu.actions()) {
    if (!action->isVisible()) continue;
    items << (action->isSeparator() ? QStringLiteral("---") : action->text());
  }
  return items;
}

}  // namespace kovali
