// A hostile crowd against the host as the app composes it: 1,000 phones that joined and sit idle,
// 60 that send searches as fast as they can and never read a reply (coming back whenever they are
// dropped), and one real phone that asks every 200 ms for an answer that changes nothing. The host
// (this process, saving into a real session file) prints its resident memory at the peak and at
// the end; the crowd (hostile_phones.py beside this file, a child process) prints the real phone's
// answer times and how often the spammers were dropped.
//
// With --library, the host searches a real music library of that many distinct generated files
// (made once under build/bench-library/ and kept, with its index cache) instead of an empty one.
// The real phone asks for a refusal that changes nothing, or with probe "search" for a search.
//
// Usage: hostile_bench [--library SONGS] [seconds [idle [spammers [probe]]]]
//        (default 30 s, 1,000 idle, 60 spammers, probe "command")

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>

#include "host/music_bench_folder.h"
#include "platform/library/local_music_library.h"
#include "platform/runtime/open_file_limit.h"
#include "support/bench_figures.h"
#include "support/bench_host.h"

#ifndef KOVALI_HOSTILE_PHONES
#error "KOVALI_HOSTILE_PHONES names the crowd's script"
#endif

namespace kovali {
namespace {

/// A library of `songs` generated files, its first scan ended; nothing when it cannot be made.
std::unique_ptr<LocalMusicLibrary> generatedLibrary(int songs) {
  const auto kept = keptBenchLibrary(songs);
  const double madeSeconds = makeMusicFolder(kept / "music", songs);
  std::printf("library: %d distinct files %s", songs,
              madeSeconds > 0 ? ("generated in " + std::to_string(madeSeconds) + " s").c_str() : "kept from before");
  auto library = std::make_unique<LocalMusicLibrary>(LibraryScanSettings{
      QString::fromStdString((kept / "music").string()), true, QString::fromStdString((kept / "data").string()), false});
  QEventLoop untilScanned;
  QObject::connect(library.get(), &LocalMusicLibrary::scanFinished, &untilScanned, &QEventLoop::quit);
  QElapsedTimer scan;
  scan.start();
  library->rescan();
  untilScanned.exec();
  if (library->songCount() != songs) {
    std::printf(", scan failed (%d songs)\n", library->songCount());
    return nullptr;
  }
  std::printf(", scanned in %.2f s\n", static_cast<double>(scan.elapsed()) / 1000);
  return library;
}

/// Asks for the music as the app's start does, and waits until it can be searched.
bool musicReady(MusicService& music) {
  (void)music.refresh();
  QElapsedTimer waited;
  waited.start();
  while (!std::holds_alternative<MusicService::Ready>(music.availability()) && waited.elapsed() < 10000) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 100);
  }
  return std::holds_alternative<MusicService::Ready>(music.availability());
}

int runHost(int songs, const QStringList& crowd) {
  QLoggingCategory::setFilterRules(QStringLiteral("kovaliapp.*.info=false\nkovaliapp.*.debug=false"));
  std::unique_ptr<LocalMusicLibrary> library;
  if (songs > 0 && !(library = generatedLibrary(songs))) return 1;
  QTemporaryDir folder;
  auto archive = SessionArchive::open(folder.path());
  if (!folder.isValid() || !archive) return 1;
  BenchHost host({QStringLiteral("hostile_bench")}, std::move(archive).value(), library.get());
  if (!musicReady(host.music)) return 1;
  const auto port = host.start();

  const double startMB = residentMB();
  std::printf("%9s %11s %11s %11s %11s %13s   %8s %8s %8s %6s\n", "answers", "answer p50", "answer p99",
              "answer max", "unanswered", "spam drops", "start", "peak", "end", "alive");
  std::fflush(stdout);
  QProcess child;
  child.setProcessChannelMode(QProcess::ForwardedChannels);
  child.start(QStringLiteral("python3"), QStringList{QStringLiteral(KOVALI_HOSTILE_PHONES), QString::number(port)} + crowd);
  if (!child.waitForStarted()) return 1;
  // Sampled on a timer: reading the figure at every turn of the loop would slow the host itself.
  double peakMB = startMB;
  QTimer sampler;
  QObject::connect(&sampler, &QTimer::timeout, [&] { peakMB = std::max(peakMB, residentMB()); });
  sampler.start(50);
  QEventLoop untilDone;
  QObject::connect(&child, &QProcess::finished, &untilDone, &QEventLoop::quit);
  if (child.state() != QProcess::NotRunning) untilDone.exec();
  peakMB = std::max(peakMB, residentMB());
  std::printf("%*s %6.0fMB %6.0fMB %6.0fMB %6s\n", 70, "", startMB, peakMB, residentMB(), "yes");
  return child.exitCode();
}

}  // namespace
}  // namespace kovali

int main(int argc, char** argv) {
  kovali::raiseOpenFileLimit();  // as the app does at its start
  QCoreApplication app(argc, argv);
  QStringList crowd = app.arguments().mid(1);
  int songs = 0;
  if (crowd.size() >= 2 && crowd.front() == QStringLiteral("--library")) {
    songs = crowd.at(1).toInt();
    crowd = crowd.mid(2);
  }
  return kovali::runHost(songs, crowd);
}
