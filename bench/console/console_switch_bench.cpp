// The switch from the party view to the DJ console in the main window, at a party with a long
// queue: the time from choosing "DJ Controls" until the window has painted its first frame of
// the console, with the rows that frame shows checked against the queue. While the party view is
// up, phones keep changing the queue, as at a real party.
//
// Usage: console_switch_bench [songs [switches [changes]]]
//        (default 2,000 songs, 8 switches, 20 changes of the queue before each)

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollArea>
#include <QTest>
#include <cstdio>
#include <string>
#include <vector>

#include "app/console/console_view.h"
#include "app/console/queue/queue_column.h"
#include "app/console/queue/queue_row.h"
#include "app/console/queue/up_next_list.h"
#include "app/look/look_style.h"
#include "app/shell/window/main_window.h"
#include "app/shell/window/view_mode_preference.h"
#include "support/bench_figures.h"
#include "support/bench_host.h"
#include "support/fake_artwork_loader.h"

namespace kovali {
namespace {

vinaro::Track song(int number) {
  const std::string id = "song-" + std::to_string(number);
  return vinaro::Track{id, "Title " + std::to_string(number), "Artist " + std::to_string(number % 40),
                       "Album", 200, "http://127.0.0.1:9/artwork/" + id + "/{w}x{h}.jpg", false};
}

/// Whether the console lists every queue item, and each row its first frame shows stands for the
/// item at its place.
bool visibleRowsMatch(ConsoleView& console, const vinaro::SessionState& state) {
  UpNextList& list = console.queueColumn().upNext();
  if (list.rowModels().size() != state.queue.size()) return false;
  const QWidget* viewport = list.findChild<QScrollArea*>()->viewport();
  int seen = 0;
  for (std::size_t place = 0; place < state.queue.size(); ++place) {
    const QueueRow* row = list.rowAt(place);
    if (!row || !row->isVisible() || row->visibleRegion().isEmpty()) continue;
    if (row->model().id != state.queue[place].id) return false;
    ++seen;
  }
  return seen > 0 && viewport->isVisible();
}

int run(int songs, int switches, int changes) {
  BenchHost host({}, std::nullopt);
  auto act = [&](const vinaro::SessionAction& action) { host.store.dispatch(action, vinaro::Actor::host()); };
  for (int number = 1; number <= songs; ++number) act(vinaro::action::Add{song(number)});
  FakeArtworkLoader artwork(host.scheduler);
  artwork.delaySeconds = 0.05;
  ViewModePreference viewMode(host.preferences);
  MainWindow window(host.store, viewMode, host.scheduler, artwork,
                    SettingsView::Services{host.store, host.pin, host.preferences, host.scheduler},
                    MainWindow::Commands{[](HostViewMode) {}, [] {}, [] {}});
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  auto* console = window.findChild<ConsoleView*>();

  std::vector<double> times;
  int next = songs;
  for (int round = 0; round < switches; ++round) {
    viewMode.setMode(HostViewMode::party);
    QTest::qWait(50);
    // Phones add songs and remove the oldest while the DJ looks at the party view.
    for (int change = 0; change < changes; ++change) {
      act(vinaro::action::Add{song(++next)});
      act(vinaro::action::Remove{host.store.state().queue.front().id});
      QApplication::processEvents();
    }
    QTest::qWait(50);
    QElapsedTimer clock;
    clock.start();
    viewMode.setMode(HostViewMode::console);
    QApplication::processEvents();
    window.repaint();  // the first frame: painted as the window would paint it next
    times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    if (!visibleRowsMatch(*console, host.store.state())) {
      std::printf("switch %d: the first frame does not show the queue as it is\n", round + 1);
      return 1;
    }
  }
  for (std::size_t i = 0; i < times.size(); ++i) std::printf("switch %zu: %.1f ms\n", i + 1, times[i]);
  std::printf("%d songs: median %.1f ms, worst %.1f ms over %d switches\n", songs, percentile(times, 0.5),
              percentile(times, 1.0), switches);
  return 0;
}

}  // namespace
}  // namespace kovali

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  kovali::applySharedLook(app);
  const int songs = argc > 1 ? std::stoi(argv[1]) : 2000;
  const int switches = argc > 2 ? std::stoi(argv[2]) : 8;
  const int changes = argc > 3 ? std::stoi(argv[3]) : 20;
  return kovali::run(songs, switches, changes);
}
