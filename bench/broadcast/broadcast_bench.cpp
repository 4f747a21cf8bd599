// How long a DJ's change takes to reach the last phone of a big party, beside the floor a bare
// QtWebSockets server sets sending the same bytes to as many phones.
//
// For each queue size, three processes of this binary: the host as kovali-host composes it (its
// window created offscreen, the music library on a folder, the session file on the disk, coming
// back to a party with that many songs queued), the floor (a bare server in a process of its
// own), and the phones, each from its own loopback address 127.0.x.y, as many on each. A host
// round starts when the DJ's phone changes the party's mode and ends when every phone has a state
// in that mode; a floor round starts when a phone says "go" and ends when every phone has the
// floor's message, the state a guest got from the host. Rounds alternate, so both meet the same
// machine. Every wait is bounded: a size that does not finish says why, and the next one runs.
//
// The join storm: as many phones connect to a fresh host at once and say hello until each has
// its welcome; the floor answers each of its own phones' hellos with the very bytes the host sent
// that phone's twin as its welcome.
//
// Usage: broadcast_bench [rounds] [songs...]   (default 60 rounds at 500, 2,000, 5,000 and 10,000 songs)
//        the environment variable KOVALI_BENCH_PHONES sets the phones (default 50)
//        broadcast_bench storm [phones...]     (default 200 and 1,000 phones, 500 songs queued)

#include <chrono>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

#include "broadcast_floor.h"
#include "broadcast_host.h"
#include "broadcast_phones.h"
#include "storm_phones.h"
#include "support/bench_role.h"

namespace kovali {
namespace {

constexpr const char* kPIN = "2468";
constexpr int kDefaultPhones = 50;
constexpr auto kStartLimit = std::chrono::minutes(3);
constexpr int kStormSongs = 500;

/// A fresh host with `songs` queued and a floor, each in its own process, met by the phones'
/// process `phonesRole` is given their ports. Answers whether the phones finished.
bool runParty(int songs, const QStringList& phonesRole, std::chrono::milliseconds phonesLimit) {
  // On the disk, where the app keeps its session: not /tmp, which may be a RAM disk.
  QTemporaryDir folder(QDir::current().filePath(QStringLiteral("broadcast-bench-XXXXXX")));
  if (!folder.isValid()) return false;
  Role floor({QStringLiteral("--floor")});
  Role host({QStringLiteral("--host"), folder.path(), QString::number(songs)});
  const auto floorPort = floor.port(kStartLimit);
  const auto hostPort = host.port(kStartLimit);
  if (!floorPort || !hostPort) {
    std::fprintf(stderr, "broadcast_bench: %d songs: the %s did not start\n", songs, hostPort ? "floor" : "host");
    return false;
  }
  Role phones(QStringList{phonesRole.front(), QString::number(*hostPort), QString::number(*floorPort)} +
                  phonesRole.mid(1),
              QProcess::ForwardedChannels);
  QProcess& child = phones.process();
  // Every wait in the child is bounded.
  if (!child.waitForFinished(static_cast<int>(phonesLimit.count()))) return false;
  return child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0;
}

int phonesWanted() {
  return qEnvironmentVariableIsSet("KOVALI_BENCH_PHONES") ? qEnvironmentVariableIntValue("KOVALI_BENCH_PHONES")
                                                          : kDefaultPhones;
}

int runDriver(int rounds, const std::vector<int>& sizes) {
  const int phones = phonesWanted();
  std::printf("%6s %6s %10s %10s %10s %10s %9s %10s %s\n", "songs", "phones", "host p50", "host p99", "floor p50",
              "floor p99", "p99 ratio", "message", "rounds");
  std::fflush(stdout);
  int failed = 0;
  for (const int songs : sizes) {
    // Joining, the rounds' waits and the pauses between changes are each bounded in the child.
    const auto limit = std::chrono::milliseconds(kStartLimit) * 2 + rounds * std::chrono::seconds(61);
    if (!runParty(songs,
                  {QStringLiteral("--phones"), QString::number(phones), QString::number(rounds), QString::number(songs)},
                  limit)) {
      std::printf("%6d %6d did not finish\n", songs, phones);
      std::fflush(stdout);
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
}

int runStorms(const std::vector<int>& counts) {
  std::printf("%6s %12s %12s %9s %10s %8s\n", "phones", "host storm", "floor storm", "ratio", "welcomes", "retries");
  std::fflush(stdout);
  int failed = 0;
  for (const int phones : counts) {
    // The host's storm and the floor's are each bounded in the child.
    if (!runParty(kStormSongs, {QStringLiteral("--storm-phones"), QString::number(phones)}, kStartLimit * 3)) {
      std::printf("%6d did not finish\n", phones);
      std::fflush(stdout);
      ++failed;
    }
  }
  return failed == 0 ? 0 : 1;
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
  if (argc == 2 && std::strcmp(argv[1], "--floor") == 0) return runFloor();
  if (argc == 7 && std::strcmp(argv[1], "--phones") == 0) {
    return runPhones({.hostPort = static_cast<std::uint16_t>(std::stoi(argv[2])),
                      .floorPort = static_cast<std::uint16_t>(std::stoi(argv[3])),
                      .count = std::stoi(argv[4]),
                      .rounds = std::stoi(argv[5]),
                      .songs = std::stoi(argv[6]),
                      .pin = kPIN});
  }
  if (argc == 5 && std::strcmp(argv[1], "--storm-phones") == 0) {
    return runStormPhones({.hostPort = static_cast<std::uint16_t>(std::stoi(argv[2])),
                           .floorPort = static_cast<std::uint16_t>(std::stoi(argv[3])),
                           .count = std::stoi(argv[4])});
  }
  if (argc > 1 && std::strcmp(argv[1], "storm") == 0) {
    std::vector<int> counts;
    for (int i = 2; i < argc; ++i) counts.push_back(std::stoi(argv[i]));
    return runStorms(counts.empty() ? std::vector<int>{200, 1000} : counts);
  }
  const int rounds = argc > 1 ? std::stoi(argv[1]) : 60;
  std::vector<int> sizes;
  for (int i = 2; i < argc; ++i) sizes.push_back(std::stoi(argv[i]));
  if (sizes.empty()) sizes = {500, 2000, 5000, 10000};
  return runDriver(rounds, sizes);
}
