// Scan of a generated music folder, cold and with the index cache, and a start of a 200,000-song
// folder from the cache beside `find` listing it.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThreadPool>

#include "music_bench_tags.h"
#include "platform/library/index/library_index.h"
#include "platform/library/index/library_index_cache.h"
#include "platform/library/index/library_scanner.h"
#include "platform/library/tone_file_writer.h"

namespace kovali {
namespace {

namespace fs = std::filesystem;

constexpr int kGeneratedFiles = 2000;

/// 2,000 short tagged files of every format, made once, and 200,000 hard links to them.
struct Folders {
  QTemporaryDir generated;
  QTemporaryDir large;

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
    std::vector<fs::path> sources;
    for (const auto& entry : fs::recursive_directory_iterator(generated.path().toStdString())) {
      if (entry.is_regular_file()) sources.push_back(entry.path());
    }
    for (int i = 0; i < kLargeLibrary; ++i) {
      const fs::path folder = fs::path(large.path().toStdString()) / std::to_string(i / 200);
      if (i % 200 == 0) fs::create_directories(folder);
      const fs::path& source = sources[static_cast<std::size_t>(i) % sources.size()];
      fs::create_hard_link(source, folder / (std::to_string(i) + source.extension().string()));
    }
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
  const QString folder = state.range(0) == kGeneratedFiles ? folders().generated.path() : folders().large.path();
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

// Launch to "indexed" with every file in the cache, beside `find` over the same folder.
void BM_LaunchFromCache(benchmark::State& state) {
  const QString folder = folders().large.path();
  QTemporaryDir data;
  scan(folder, data.path());  // fills the cache
  double ours = 0;
  double floor = 0;
  for (auto _ : state) {
    QElapsedTimer timer;
    timer.start();
    benchmark::DoNotOptimize(scan(folder, data.path()));
    ours += static_cast<double>(timer.nsecsElapsed()) / 1e9;
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
