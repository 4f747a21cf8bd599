// A crowd that keeps coming and going: 150 phones, each from its own loopback address, join (each
// time as a new device that puts on a badge), stay 5 to 27 s and leave, for 60 s, while a probe
// phone asks every 200 ms for an answer that changes nothing. The host runs in a process of its
// own as kovali-host composes it (its window offscreen, the music library on a folder, the
// session file on the disk, 500 songs queued). The phones (a child process, this binary with
// --phones) print the joins, how long a welcome took, the probe's answer times and the changes
// the host made a second; this process prints the host's memory once it serves, at the peak,
// once the crowd has left, and after the idle trim.
//
// Usage: churn_bench [seconds [phones]]   (default 60 s, 150 phones)

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include "broadcast/broadcast_host.h"
#include "churn_phones.h"
#include "platform/runtime/idle_memory_trim.h"
#include "support/bench_figures.h"
#include "support/bench_role.h"

namespace kovali {
namespace {

constexpr const char* kPIN = "2468";
constexpr int kSongs = 500;
constexpr auto kStartLimit = std::chrono::minutes(3);

/// The resident memory in MB of the process `pid`.
double hostMB(qint64 pid) { return residentMB("VmRSS:", "/proc/" + std::to_string(pid) + "/status"); }

/// Runs the event loop for `seconds` or until `done`, keeping the host's highest memory in `peakMB`.
void watchHost(qint64 pid, double seconds, double& peakMB, const std::function<bool()>& done = {}) {
  const auto until = BenchClock::now() + std::chrono::duration<double>(seconds);
  (void)runEventLoopUntil(
      [&] {
        peakMB = std::max(peakMB, hostMB(pid));
        return BenchClock::now() >= until || (done && done());
      },
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::duration<double>(seconds)), 100);
}

int runDriver(int seconds, int phones) {
  // On the disk, where the app keeps its session: not /tmp, which may be a RAM disk.
  QTemporaryDir folder(QDir::current().filePath(QStringLiteral("churn-bench-XXXXXX")));
  if (!folder.isValid()) return 1;
  Role host({QStringLiteral("--host"), folder.path(), QString::number(kSongs)});
  const auto port = host.port(kStartLimit);
  if (!port) {
    std::fprintf(stderr, "churn_bench: the host did not start\n");
    return 1;
  }
  const qint64 pid = host.process().processId();
  const double startMB = hostMB(pid);
  std::printf("%7s %8s %11s %11s %9s %11s %11s %11s %9s   %9s %8s %9s %8s\n", "joins", "joins/s", "welcome p50",
              "welcome p99", "timeouts", "probe p50", "probe p99", "unanswered", "changes/s", "start", "peak",
              "crowd gone", "idle");
  std::fflush(stdout);
  Role crowd({QStringLiteral("--phones"), QString::number(*port), QString::number(seconds), QString::number(phones)},
             QProcess::ForwardedChannels);
  double peakMB = startMB;
  watchHost(pid, seconds + 30, peakMB, [&] { return crowd.process().state() == QProcess::NotRunning; });
  if (crowd.process().state() != QProcess::NotRunning || crowd.process().exitCode() != 0) return 1;
  watchHost(pid, 10, peakMB);  // the departures reach the host
  const double goneMB = hostMB(pid);
  double ignored = 0;
  watchHost(pid, IdleMemoryTrim::quietSeconds + 2, ignored);
  std::printf("%*s %7.0fMB %6.0fMB %7.0fMB %6.0fMB\n", 98, "", startMB, peakMB, goneMB, hostMB(pid));
  return 0;
}

}  // namespace
}  // namespace kovali

int main(int argc, char** argv) {
  using namespace kovali;
  // The host makes its own QApplication, as kovali-host does.
  if (argc == 4 && std::strcmp(argv[1], "--host") == 0) {
    return runHost(argc, argv, QString::fromLocal8Bit(argv[2]), std::stoi(argv[3]), QString::fromLatin1(kPIN));
  }
  QCoreApplication app(argc, argv);
  if (argc == 5 && std::strcmp(argv[1], "--phones") == 0) {
    return runChurningPhones({.hostPort = static_cast<std::uint16_t>(std::stoi(argv[2])),
                              .phones = std::stoi(argv[4]),
                              .seconds = std::stoi(argv[3])});
  }
  return runDriver(argc > 1 ? std::stoi(argv[1]) : 60, argc > 2 ? std::stoi(argv[2]) : 150);
}
