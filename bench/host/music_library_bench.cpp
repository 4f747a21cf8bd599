// Scan of a generated music folder (cold and with the index cache) and search over a large index.

#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThreadPool>

#include "platform/library/index/library_index.h"
#include "platform/library/index/library_index_cache.h"
#include "platform/library/index/library_scanner.h"
#include "platform/library/tone_file_writer.h"

namespace kovali {
namespace {

namespace fs = std::filesystem;

constexpr int kGeneratedFiles = 2000;
constexpr int kLargeLibrary = 50000;

const std::vector<std::string> kWords = {
    "love",  "night", "dance", "heart", "fire",   "rain",  "summer", "blue",  "city",  "dream",  "light", "river",
    "gold",  "moon",  "road",  "home",  "wild",   "sweet", "storm",  "ocean", "echo",  "shadow", "glass", "paper",
    "café",  "déjà",  "vu",    "noël",  "señor",  "über",  "the",    "of",    "my",    "in",     "on",    "away",
    "again", "song",  "time",  "girl",  "boy",    "world", "sky",    "star",  "fever", "thunder", "soul", "garden"};

std::string words(std::mt19937& random, int count) {
  std::string text;
  for (int i = 0; i < count; ++i) {
    if (i) text += ' ';
    std::string word = kWords[random() % kWords.size()];
    if (random() % 2) word[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(word[0])));
    text += word;
  }
  return text;
}

/// Song `n` of a library of albums of ten songs, ten albums an artist.
AudioFileTags randomTags(std::mt19937& random, int n) {
  std::mt19937 albumRandom(static_cast<unsigned>(n / 10));
  AudioFileTags tags;
  tags.title = words(random, 1 + static_cast<int>(random() % 4));
  tags.artist = "Artist " + std::to_string(n / 100) + " " + words(albumRandom, 1);
  tags.album = words(albumRandom, 2) + " " + std::to_string(n / 10);
  tags.trackNumber = 1 + n % 10;
  tags.duration = 180 + n % 120;
  return tags;
}

/// 2,000 short tagged files of every format, made once, and 50,000 hard links to them.
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
BENCHMARK(BM_ScanWithCache)->Arg(kGeneratedFiles)->Arg(kLargeLibrary)->Unit(benchmark::kMillisecond)->UseRealTime();

std::shared_ptr<const LibraryIndex> largeIndex() {
  static const auto index = [] {
    std::mt19937 random(11);
    std::vector<LibraryFile> files;
    for (int i = 0; i < kLargeLibrary; ++i) {
      const std::string path = "Music/" + std::to_string(i / 100) + "/" + std::to_string(i) + ".flac";
      files.push_back({path, randomTags(random, i), std::nullopt});
    }
    return LibraryIndex::build("/home/user/Music", std::move(files), {});
  }();
  return index;
}

void BM_SearchSongs(benchmark::State& state, const char* term) {
  const auto index = largeIndex();
  std::size_t found = 0;
  for (auto _ : state) found = index->searchSongs(term, 25).size();
  state.counters["songs"] = kLargeLibrary;
  state.counters["found"] = static_cast<double>(found);
}
BENCHMARK_CAPTURE(BM_SearchSongs, OneCommonWord, "love")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchSongs, OneLetter, "e")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchSongs, TwoWordsWithAccents, "Deja CAFE")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchSongs, ArtistAndTitle, "artist 42 summer")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchSongs, NoMatch, "zzzz")->Unit(benchmark::kMicrosecond);

void BM_BuildIndex(benchmark::State& state) {
  std::mt19937 random(11);
  std::vector<LibraryFile> files;
  for (int i = 0; i < kLargeLibrary; ++i) {
    const std::string path = "Music/" + std::to_string(i / 100) + "/" + std::to_string(i) + ".flac";
    files.push_back({path, randomTags(random, i), std::nullopt});
  }
  for (auto _ : state) benchmark::DoNotOptimize(LibraryIndex::build("/home/user/Music", files, {}));
  state.counters["songs"] = kLargeLibrary;
}
BENCHMARK(BM_BuildIndex)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kovali
