// Scan of a generated music folder, cold and with the index cache, and a start of a folder of
// 200,000 distinct files from the cache beside `find` listing it.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThreadPool>

#include "music_bench_folder.h"
#include "music_bench_tags.h"
#include "platform/library/index/library_index.h"
#include "platform/library/index/library_index_cache.h"
#include "platform/library/index/library_scanner.h"
#include "platform/library/local_music_library.h"
#include "platform/library/tone_file_writer.h"

namespace kovali {
namespace {

namespace fs = std::filesystem;

constexpr int kGeneratedFiles = 2000;

/// 2,000 short tagged files of every format, made once, and 200,000 distinct files kept between
/// runs in build/.
struct Folders {
  QTemporaryDir generated;
  QString large;

  Folders() {
    static const char* kExtensions[] = {"flac", "mp3", "ogg", "opus", "wav", "m4a"};
    std::mt19937 random(7);
    for (int i = 0; i < kGeneratedFiles; ++i) {
      const AudioFileTags tags = randomTags(random, i);
      ToneFile file;
      const std::string folder = generated.path().toStdString() + "/" + std::to_string(i % 100);
      fs::create_directories(folder);
      file.path = folder + "/" + std::to_string(i) + "." + kExtensions[i % 6];
      file.notes = {440};
      file.noteSeconds = 0.1;
      file.tags = {{"title", tags.title}, {"artist", tags.artist}, {"album", tags.album},
                   {"track", std::to_string(tags.trackNumber)}};
      if (auto failure = writeToneFile(file)) throw std::runtime_error(*failure);
    }
    const fs::path kept = keptBenchLibrary(kLargeLibrary) / "music";
    if (const double seconds = makeMusicFolder(kept, kLargeLibrary); seconds > 0) {
      std::fprintf(stderr, "generated %d distinct files in %.1f s\n", kLargeLibrary, seconds);
    }
    large = QString::fromStdString(kept.string());
  }
};

Folders& folders() {
  static Folders made;
  return made;
}

LibraryScanOutcome scan(const QString& folder, const QString& dataFolder) {
  static QThreadPool readers;
  ScanCounters counters;
  auto outcome = scanLibrary(LibraryScanSettings{folder, true, dataFolder, false}, readers, counters);
  if (!outcome.index) throw std::runtime_error(outcome.index.error().description);
  return outcome;
}

void BM_ScanWithoutCache(benchmark::State& state) {
  const QString folder = folders().generated.path();
  for (auto _ : state) {
    state.PauseTiming();
    QTemporaryDir data;
    state.ResumeTiming();
    benchmark::DoNotOptimize(scan(folder, data.path()));
  }
  state.counters["files"] = kGeneratedFiles;
}
BENCHMARK(BM_ScanWithoutCache)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

void BM_ScanWithCache(benchmark::State& state) {
  const QString folder = state.range(0) == kGeneratedFiles ? folders().generated.path() : folders().large;
  QTemporaryDir data;
  scan(folder, data.path());  // fills the cache
  for (auto _ : state) benchmark::DoNotOptimize(scan(folder, data.path()));
  state.counters["files"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_ScanWithCache)->Arg(kGeneratedFiles)->Unit(benchmark::kMillisecond)->UseRealTime();

// The floor of a start from the cache: `find` listing the folder with each file's size and time.
double findSeconds(const QString& folder) {
  QProcess find;
  find.setStandardOutputFile(QProcess::nullDevice());
  QElapsedTimer timer;
  timer.start();
  find.start(QStringLiteral("find"), {folder, QStringLiteral("-printf"), QStringLiteral("%s %T@ %p\\n")});
  if (!find.waitForFinished(-1) || find.exitCode() != 0) throw std::runtime_error("find failed");
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// The library's whole start with every file in the cache, as the app makes it: from nothing to
// the first search answered on the main thread.
double startSeconds(const QString& folder, const QString& dataFolder) {
  static int argc = 1;
  static char name[] = "music_bench";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);  // for the rest of the run
  QElapsedTimer timer;
  timer.start();
  LocalMusicLibrary library(LibraryScanSettings{folder, true, dataFolder, false});
  std::optional<MusicResult<MusicSearchResponse>> found;
  auto search = [&]() -> QCoro::Task<> {
    MusicSearchRequest request{"love", MusicItemKind::songs, 25};  // named: see SerialQueue::result
    found.emplace(co_await library.search(std::move(request)));
  };
  (void)search();
  while (!found) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  if (!*found || found->value().songs.items.empty()) throw std::runtime_error("the started library found nothing");
  return static_cast<double>(timer.nsecsElapsed()) / 1e9;
}

// Launch to the first search answered with every file in the cache, beside `find` over the same folder.
void BM_LaunchFromCache(benchmark::State& state) {
  const QString folder = folders().large;
  QTemporaryDir data;
  scan(folder, data.path());  // fills the cache
  double ours = 0;
  double floor = 0;
  for (auto _ : state) {
    ours += startSeconds(folder, data.path());
    state.PauseTiming();
    floor += findSeconds(folder);
    state.ResumeTiming();
  }
  const auto runs = static_cast<double>(state.iterations());
  state.counters["files"] = kLargeLibrary;
  state.counters["seconds"] = ours / runs;
  state.counters["floor_seconds"] = floor / runs;
  state.counters["ratio"] = ours / floor;
}
BENCHMARK(BM_LaunchFromCache)->Unit(benchmark::kMillisecond)->Iterations(3)->UseRealTime();

}  // namespace
}  // namespace kovali
