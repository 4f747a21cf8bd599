// A crowd that keeps coming and going: 150 phones join (each time as a new device that puts on a
// badge), stay 5 to 27 s and leave, for 60 s, while a probe phone asks every 200 ms for an answer
// that changes nothing. The host (this process, saving every change as the app does) prints the
// changes it took in a second and its memory at the peak, once the crowd has left, and after the
// idle trim; the phones (a child process, this binary with --phones) print the joins, how long
// a welcome took, and the probe's answer times.
//
// Usage: churn_bench [seconds [phones]]   (default 60 s, 150 phones)

#include <cstdio>
#include <cstring>
#include <string>

#include <QCoreApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "churn_phones.h"
#include "platform/runtime/idle_memory_trim.h"
#include "support/bench_figures.h"
#include "support/bench_host.h"

namespace kovali {
namespace {

/// Runs the event loop for `seconds`, keeping the highest resident memory seen in `peakMB`.
void runFor(double seconds, double& peakMB, const std::function<bool()>& done = {}) {
  const auto until = BenchClock::now() + std::chrono::duration<double>(seconds);
  (void)runEventLoopUntil(
      [&] {
        peakMB = std::max(peakMB, residentMB());
        return BenchClock::now() >= until || (done && done());
      },
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::duration<double>(seconds)), 100);
}

int runHost(int seconds, int phones) {
  QLoggingCategory::setFilterRules(QStringLiteral("kovaliapp.*.info=false\nkovaliapp.*.debug=false"));
  // On the disk, where the app keeps it: not /tmp, which may be a RAM disk.
  QTemporaryDir folder(QDir::current().filePath(QStringLiteral("churn-bench-XXXXXX")));
  auto archive = SessionArchive::open(folder.path());
  if (!folder.isValid() || !archive) return 1;
  BenchHost host({QStringLiteral("churn_bench")}, std::move(archive).value());
  // As the app has it: quiet for a while, and the allocator gives back what the crowd left.
  IdleMemoryTrim trim(host.scheduler);
  QObject::connect(&host.store, &SessionStore::stateChanged, &host.store, [&] { trim.activity(); });
  // Every phone here comes from 127.0.0.1; the per-address guard is measured by hostile_bench.
  host.server.setConnectionsPerAddress(4096);
  const auto port = host.start();

  const double startMB = residentMB();
  const auto startRevision = host.store.state().revision;
  std::printf("%7s %8s %11s %11s %9s %11s %11s %11s   %9s %9s %8s %9s %8s\n", "joins", "joins/s", "welcome p50",
              "welcome p99", "timeouts", "probe p50", "probe p99", "unanswered", "changes/s", "start", "peak",
              "crowd gone", "idle");
  std::fflush(stdout);
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(QCoreApplication::applicationFilePath(),
              {QStringLiteral("--phones"), QString::number(port), QString::number(seconds), QString::number(phones)});
  if (!child.waitForStarted()) return 1;
  double peakMB = startMB;
  runFor(seconds + 30, peakMB, [&] { return child.state() == QProcess::NotRunning; });
  const double changesPerSecond = static_cast<double>(host.store.state().revision - startRevision) / seconds;
  if (child.state() != QProcess::NotRunning || child.exitCode() != 0) return 1;
  runFor(10, peakMB, [&] { return host.store.participants().empty(); });
  const double goneMB = residentMB();
  double ignored = 0;
  runFor(IdleMemoryTrim::quietSeconds + 2, ignored);
  std::printf("%*s %9.1f %7.0fMB %6.0fMB %8.0fMB %6.0fMB\n", 91, "", changesPerSecond, startMB, peakMB, goneMB,
              residentMB());
  return 0;
}

}  // namespace
}  // namespace kovali

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  if (argc == 5 && std::strcmp(argv[1], "--phones") == 0) {
    return kovali::runChurningPhones({.hostPort = static_cast<std::uint16_t>(std::stoi(argv[2])),
                                      .phones = std::stoi(argv[4]),
                                      .seconds = std::stoi(argv[3])});
  }
  return kovali::runHost(argc > 1 ? std::stoi(argv[1]) : 60, argc > 2 ? std::stoi(argv[2]) : 150);
}
