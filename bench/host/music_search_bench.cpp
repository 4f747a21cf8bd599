// Search over a 200,000-song index as phones send it: the bench terms and every prefix of
// titles, artists and albums typed a letter at a time; beside it the floor, one `find` pass
// over the folded song texts for each query.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "music_bench_tags.h"
#include "platform/library/index/library_index.h"
#include "platform/library/index/library_text.h"

namespace kovali {
namespace {

constexpr std::size_t kQueries = 1530;
constexpr std::size_t kLimit = 25;

const std::vector<LibraryFile>& files() {
  static const auto made = largeLibraryFiles();
  return made;
}

std::shared_ptr<const LibraryIndex> largeIndex() {
  static const auto index = LibraryIndex::build("/home/user/Music", files(), {});
  return index;
}

// Every song's folded title, artist and album, as one text.
const std::string& foldedSongTexts() {
  static const std::string text = [] {
    std::string made;
    for (const auto& file : files()) {
      for (const auto* field : {&file.tags.title, &file.tags.artist, &file.tags.album}) made += foldedForSearch(*field) + '\x1f';
    }
    return made;
  }();
  return text;
}

std::vector<std::string> queries() {
  std::vector<std::string> made = {"love", "e", "Deja CAFE", "artist 42 summer", "zzzz"};
  std::mt19937 random(3);
  while (made.size() < kQueries) {
    const AudioFileTags& tags = files()[random() % files().size()].tags;
    const std::string& typed = random() % 3 == 0 ? tags.artist : random() % 2 ? tags.title : tags.album;
    for (std::size_t end = 1; end <= typed.size() && made.size() < kQueries; ++end) {
      if (end < typed.size() && (static_cast<unsigned char>(typed[end]) & 0xc0) == 0x80) continue;  // inside a letter
      made.push_back(typed.substr(0, end));
    }
  }
  return made;
}

template <class Search>
double p99Milliseconds(const std::vector<std::string>& terms, const Search& search) {
  std::vector<double> times;
  times.reserve(terms.size());
  for (const auto& term : terms) {
    const auto start = std::chrono::steady_clock::now();
    benchmark::DoNotOptimize(search(term));
    times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[(times.size() * 99 + 99) / 100 - 1];
}

std::size_t findPass(const std::string& term) {
  const std::string folded = foldedForSearch(term);
  const std::string& text = foldedSongTexts();
  std::size_t found = 0;
  for (auto at = text.find(folded); at != std::string::npos; at = text.find(folded, at + 1)) ++found;
  return found;
}

void BM_SearchSongsP99(benchmark::State& state) {
  const auto index = largeIndex();
  const auto terms = queries();
  foldedSongTexts();
  double ours = 0;
  double floor = 0;
  for (auto _ : state) {
    ours = p99Milliseconds(terms, [&](const std::string& term) { return index->searchSongs(term, kLimit).size(); });
    floor = p99Milliseconds(terms, findPass);
  }
  state.counters["songs"] = kLargeLibrary;
  state.counters["queries"] = static_cast<double>(terms.size());
  state.counters["p99_ms"] = ours;
  state.counters["floor_p99_ms"] = floor;
  state.counters["ratio"] = ours / floor;
}
BENCHMARK(BM_SearchSongsP99)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void BM_SearchSongs(benchmark::State& state, const char* term) {
  const auto index = largeIndex();
  std::size_t found = 0;
  for (auto _ : state) found = index->searchSongs(term, kLimit).size();
  state.counters["songs"] = kLargeLibrary;
  state.counters["found"] = static_cast<double>(found);
}
BENCHMARK_CAPTURE(BM_SearchSongs, OneCommonWord, "love")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchSongs, OneLetter, "e")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchSongs, TwoWordsWithAccents, "Deja CAFE")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchSongs, ArtistAndTitle, "artist 42 summer")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchSongs, WordInEveryRowAndDigit, "Artist 1")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchSongs, TypedFirstLetter, "o")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_SearchSongs, NoMatch, "zzzz")->Unit(benchmark::kMicrosecond);

void BM_BuildIndex(benchmark::State& state) {
  for (auto _ : state) benchmark::DoNotOptimize(LibraryIndex::build("/home/user/Music", files(), {}));
  state.counters["songs"] = kLargeLibrary;
}
BENCHMARK(BM_BuildIndex)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kovali
