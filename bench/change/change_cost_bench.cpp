// What one change costs the host's main thread at a big party, against its floor: making the
// state's bytes once. The host is composed as the app composes it, with its window on the party
// screen (or the DJ console) and its session saved to real disk; each change moves a song, as a DJ does, and counts
// everything the main thread does for it until the event loop has gone quiet: the change, the
// save, the phones' state and the window's refresh.
//
// Given guests, the party is in suggestion mode and that many phones have joined it, each of
// whom had a request answered, so that each sees requests no other does: every change sends a
// view of its own to each of them. The phones read all they are sent on a thread of their own.
// Its floor, timed first in the same run, is the same changes sent to the same phones while
// their requests wait, when they all share one view.
//
// Usage: change_bench [songs [changes [party|console [guests]]]]
//        (default 10,000 songs, 40 changes, party, no guests)

#include <time.h>

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/look/look_style.h"
#include "app/shell/window/main_window.h"
#include "app/shell/window/view_mode_preference.h"
#include "protocol/json_writer.h"
#include "support/bench_figures.h"
#include "support/bench_host.h"
#include "support/fake_artwork_loader.h"
#include "support/library_song.h"
#include "reading_guests.h"

namespace kovali {
namespace {

/// The CPU time the calling thread has used, in milliseconds.
double threadMilliseconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

/// The main thread's time for what the event loop runs within `quietMs` of now.
double settle(int quietMs) {
  const double start = threadMilliseconds();
  QTest::qWait(quietMs);
  return threadMilliseconds() - start;
}

/// The main thread's time for what the event loop runs until `quietMs` of it cost no more than
/// `idle` does with nothing to do, `idle` taken off each: sending a party to many phones takes
/// many passes of the loop.
double settleAll(int quietMs, double idle) {
  double spent = 0;
  for (int slices = 0; slices < 100; ++slices) {
    const double slice = settle(quietMs) - idle;
    spent += slice;
    if (slice < 0.5) break;
  }
  return spent;
}

/// Has `count` reading phones join and puts the party in suggestion mode, each of them asking
/// for a song after the `songs` queued: while no request is answered, they all share one view.
bool seatGuests(BenchHost& host, std::optional<ReadingGuests>& guests, std::uint16_t port, int count, int songs) {
  guests.emplace(port, count);
  if (!QTest::qWaitFor([&] { return host.store.participants().size() == static_cast<std::size_t>(count); }, 60'000)) {
    std::fprintf(stderr, "change_bench: %zu of %d guests joined\n", host.store.participants().size(), count);
    return false;
  }
  // Not sent: the next change goes to every phone.
  (void)host.store.dispatch(vinaro::action::SetMode{vinaro::PartyMode::suggestion}, vinaro::Actor::host(), false);
  int song = songs;
  for (const auto& [connection, guest] : host.store.participants()) {
    (void)host.store.dispatch(vinaro::action::Add{librarySong(++song)}, vinaro::Actor::participant(guest), false);
  }
  if (host.store.state().requests.size() == static_cast<std::size_t>(count)) return true;
  std::fprintf(stderr, "change_bench: %zu of %d guests asked for a song\n", host.store.state().requests.size(), count);
  return false;
}

/// Has the host reject every request, so that each guest sees one no other does.
void answerRequests(BenchHost& host) {
  for (const auto& request : std::vector(host.store.state().requests)) {
    (void)host.store.dispatch(vinaro::action::RejectRequest{request.id}, vinaro::Actor::host(), false);
  }
}

int run(int songs, int changes, HostViewMode view, int guestCount) {
  QTemporaryDir disk;
  auto archive = SessionArchive::open(disk.path());
  if (!archive) return 1;
  BenchHost host({}, std::move(archive).value());
  const std::uint16_t port = host.start();
  std::vector<vinaro::Track> tracks;
  for (int number = 1; number <= songs; ++number) tracks.push_back(librarySong(number));
  host.store.dispatch(vinaro::action::LoadTracks{std::move(tracks), true, std::nullopt}, vinaro::Actor::host());
  FakeArtworkLoader artwork(host.scheduler);
  ViewModePreference viewMode(host.preferences);
  viewMode.setMode(view);
  MainWindow window(host.store, viewMode, host.scheduler, artwork,
                    SettingsView::Services{host.store, host.pin, host.preferences, host.scheduler},
                    MainWindow::Commands{[](HostViewMode) {}, [] {}, [] {}});
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) return 1;
  constexpr int quietMs = 100;
  // What the loop costs with nothing to do, taken off each change's share.
  const double idle = settle(quietMs);
  std::optional<ReadingGuests> guests;
  if (guestCount > 0 && !seatGuests(host, guests, port, guestCount, songs)) return 1;
  settleAll(quietMs, idle);  // their welcomes sent

  std::vector<double> floor;
  for (int i = 0; i < 5; ++i) {
    const double start = threadMilliseconds();
    const std::string bytes = vinaro::wire::encode(host.store.state());
    floor.push_back(threadMilliseconds() - start);
  }
  const auto timeChanges = [&]() -> std::optional<std::vector<double>> {
    std::vector<double> costs;
    for (int change = 0; change < changes; ++change) {
      const auto& queue = host.store.state().queue;
      const std::size_t from = static_cast<std::size_t>(change * 7919) % queue.size();
      const double start = threadMilliseconds();
      const auto result = host.store.dispatch(vinaro::action::Move{queue[from].id, change % 2 ? 0 : songs / 2},
                                              vinaro::Actor::host());
      if (!result) return std::nullopt;
      const double spent = threadMilliseconds() - start + settleAll(quietMs, idle);
      costs.push_back(spent);
      if (qEnvironmentVariableIsSet("CHANGE_BENCH_EACH")) std::printf("change %d: %.1f ms\n", change + 1, spent);
    }
    return costs;
  };
  // The floor of sending: the same phones sent one view they share.
  std::optional<std::vector<double>> shared;
  if (guestCount > 0) {
    shared = timeChanges();
    if (!shared) return 1;
    answerRequests(host);
    settleAll(quietMs, idle);
  }
  const auto measured = timeChanges();
  if (!measured) return 1;
  const std::vector<double>& costs = *measured;
  const double bytes = percentile(floor, 0.0);
  const double median = percentile(costs, 0.5);
  if (guestCount > 0) std::printf("suggestion mode, %d guests whose requests were answered: ", guestCount);
  std::printf("%d songs, %zu bytes a state: making its bytes %.1f ms; a change %.1f ms median, %.1f ms p90, "
              "%.1f ms worst over %d; ratio %.2f\n",
              songs, vinaro::wire::encode(host.store.state()).size(), bytes, median, percentile(costs, 0.9),
              percentile(costs, 1.0), changes, median / bytes);
  if (shared) {
    const double sharedMedian = percentile(*shared, 0.5);
    std::printf("the same guests sharing one view before their requests were answered: a change %.1f ms median; "
                "views of their own cost %.2f times that\n",
                sharedMedian, median / sharedMedian);
  }
  return 0;
}

}  // namespace
}  // namespace kovali

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  qputenv("QT_LOGGING_RULES", "kovaliapp.*.info=false");
  QApplication app(argc, argv);
  kovali::applySharedLook(app);
  const int songs = argc > 1 ? std::stoi(argv[1]) : 10000;
  const int changes = argc > 2 ? std::stoi(argv[2]) : 40;
  const bool console = argc > 3 && std::string(argv[3]) == "console";
  const int guests = argc > 4 ? std::stoi(argv[4]) : 0;
  return kovali::run(songs, changes, console ? kovali::HostViewMode::console : kovali::HostViewMode::party, guests);
}
