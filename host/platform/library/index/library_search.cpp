#include "platform/library/index/library_search.h"

#include <algorithm>
#include <bit>
#include <utility>

#include "platform/library/index/library_text.h"

namespace kovali {

namespace {

constexpr char kSeparator = '\x1f';
constexpr char kWordEnd = '\n';  // folded text holds no line breaks
constexpr int kFieldWeight[LibrarySearch::maxFields] = {3, 2, 1};
constexpr unsigned kRowShift = 6;
constexpr unsigned kFieldsShift = 3;
constexpr unsigned kFieldBits = 7;

// How far a row has come in one search, small so that the scattered visits stay in cache.
struct RowTally {
  std::uint8_t alive = 1;             // the row holds every word so far
  std::uint8_t best = 0;              // for the word at hand
  std::uint8_t startsFirstWord = 0;   // the fields that start with the first word
};

// The most termScore can give a row: a field as long as the term may be the term, a longer one
// may start with it, a shorter one neither.
std::uint32_t mostTermScore(const std::uint32_t (&lengths)[LibrarySearch::maxFields], unsigned fieldsStartingFirstWord,
                            std::size_t queryLength) {
  std::uint32_t total = 0;
  for (std::size_t i = 0; i < LibrarySearch::maxFields; ++i) {
    if (!(fieldsStartingFirstWord & (1u << i)) || lengths[i] < queryLength) continue;
    total += (lengths[i] == queryLength ? 100 : 40) * kFieldWeight[i];
  }
  return total;
}

}  // namespace

void LibrarySearch::add(std::initializer_list<std::string_view> fields) {
  if (wordNumbers_.size() != wordRows_.size()) numberWords();
  Row row;
  row.start = static_cast<std::uint32_t>(text_.size());
  const auto number = static_cast<std::uint32_t>(rows_.size());
  // Every row holds all fields, empty ones too, so that offsets follow from the lengths alone.
  auto value = fields.begin();
  for (std::size_t i = 0; i < maxFields; ++i) {
    const std::string folded = value != fields.end() ? foldedForSearch(*value++) : std::string();
    row.lengths[i] = static_cast<std::uint32_t>(folded.size());
    bool first = true;
    for (const auto& word : searchWords(folded)) addWord(word, number, i, std::exchange(first, false));
    text_ += folded;
    text_ += kSeparator;
  }
  rows_.push_back(row);
}

void LibrarySearch::numberWords() {
  wordNumbers_.clear();
  for (std::uint32_t number = 0; number < wordRows_.size(); ++number) {
    const std::size_t start = wordStarts_[number];
    wordNumbers_.emplace(words_.substr(start, wordStarts_[number + 1] - start - 1), number);
  }
}

void LibrarySearch::addWord(std::string_view word, std::uint32_t row, std::size_t field, bool first) {
  const auto [found, added] = wordNumbers_.try_emplace(std::string(word), static_cast<std::uint32_t>(wordRows_.size()));
  if (added) {
    words_ += word;
    words_ += kWordEnd;
    wordStarts_.push_back(static_cast<std::uint32_t>(words_.size()));
    wordRows_.emplace_back();
  }
  std::vector<std::uint32_t>& rows = wordRows_[found->second];
  const std::uint32_t bits = (1u << (field + kFieldsShift)) | (first ? 1u << field : 0u);
  if (!rows.empty() && (rows.back() >> kRowShift) == row) {
    rows.back() |= bits;
  } else {
    rows.push_back((row << kRowShift) | bits);
  }
}

std::string_view LibrarySearch::field(const Row& row, std::size_t i) const {
  std::size_t start = row.start;
  for (std::size_t j = 0; j < i; ++j) start += row.lengths[j] + 1;
  return std::string_view(text_).substr(start, row.lengths[i]);
}

std::vector<LibrarySearch::WordHit> LibrarySearch::wordsContaining(std::string_view word) const {
  std::vector<WordHit> hits;
  std::uint32_t number = 0;
  for (auto at = words_.find(word); at != std::string::npos; at = words_.find(word, wordStarts_[number + 1])) {
    while (wordStarts_[number + 1] <= at) ++number;
    const std::size_t start = wordStarts_[number];
    const std::size_t length = wordStarts_[number + 1] - start - 1;
    // The first place in a word is its start when there is one there.
    hits.push_back({number, at != start ? 1 : length == word.size() ? 3 : 2});
  }
  return hits;
}

// What the whole term adds: a field that is the term, or starts with it.
int LibrarySearch::termScore(const Row& row, unsigned fieldsStartingFirstWord, std::string_view query) const {
  int total = 0;
  for (std::size_t i = 0; i < maxFields; ++i) {
    if (!(fieldsStartingFirstWord & (1u << i))) continue;
    const std::string_view text = field(row, i);
    if (text == query) {
      total += 100 * kFieldWeight[i];
    } else if (text.starts_with(query)) {
      total += 40 * kFieldWeight[i];
    }
  }
  return total;
}

std::vector<std::size_t> LibrarySearch::search(std::string_view term, std::size_t limit) const {
  const std::string query = foldedForSearch(term);
  const std::vector<std::string> words = searchWords(query);
  if (words.empty() || limit == 0) return {};

  // Each word in turn: a row that held the words before it scores the best place of this one
  // (quality in its most telling field); a row that lacks one drops out. The tally lives on
  // with the thread so that a search does not fault in a fresh one each time.
  thread_local std::vector<RowTally> tally;
  thread_local std::vector<std::uint32_t> scores;
  tally.assign(rows_.size(), RowTally{});
  scores.assign(rows_.size(), 0);
  for (std::uint32_t w = 0; w < words.size(); ++w) {
    bool any = false;
    const std::vector<WordHit> hits = wordsContaining(words[w]);
    for (std::size_t h = 0; h < hits.size(); ++h) {
      const WordHit& hit = hits[h];
      // Each word's rows lie apart on the heap: fetch the next ones while this one is read.
      if (h + 4 < hits.size()) __builtin_prefetch(wordRows_[hits[h + 4].word].data());
      for (const std::uint32_t entry : wordRows_[hit.word]) {
        RowTally& row = tally[entry >> kRowShift];
        if (!row.alive) continue;
        const unsigned fields = (entry >> kFieldsShift) & kFieldBits;
        const auto value = static_cast<std::uint8_t>(hit.quality * kFieldWeight[std::countr_zero(fields)]);
        row.best = std::max(row.best, value);
        any = true;
        if (w == 0 && hit.quality >= 2) row.startsFirstWord |= static_cast<std::uint8_t>(entry & kFieldBits);
      }
    }
    if (!any) return {};
    if (w + 1 == words.size()) break;  // the ranking below settles the last word
    // In row order: the postings of many words reach the rows in scattered order.
    for (std::size_t row = 0; row < tally.size(); ++row) {
      if (!tally[row].alive) continue;
      tally[row].alive = tally[row].best != 0;
      scores[row] += std::exchange(tally[row].best, 0);
    }
  }

  // Best first, then by row: the score inverted above the row number. Only the best `limit` keys
  // are kept (the worst of them on top of the heap); a row whose field share could not lift it
  // past that worst one is not compared at all. A field can start with the term only where it
  // starts with the term's first word.
  std::vector<std::uint64_t> best;
  best.reserve(limit);
  const auto key = [](std::uint32_t score, std::uint32_t row) { return (std::uint64_t{~score} << 32) | row; };
  for (std::uint32_t row = 0; row < tally.size(); ++row) {
    if (!tally[row].alive || tally[row].best == 0) continue;
    const std::uint32_t wordScore = scores[row] + tally[row].best;
    const unsigned starts = tally[row].startsFirstWord;
    if (best.size() == limit &&
        key(wordScore + mostTermScore(rows_[row].lengths, starts, query.size()), row) >= best.front()) {
      continue;
    }
    const auto score = wordScore + static_cast<std::uint32_t>(termScore(rows_[row], starts, query));
    if (best.size() == limit) {
      if (key(score, row) >= best.front()) continue;
      std::pop_heap(best.begin(), best.end());
      best.pop_back();
    }
    best.push_back(key(score, row));
    std::push_heap(best.begin(), best.end());
  }
  std::sort_heap(best.begin(), best.end());

  std::vector<std::size_t> rows;
  rows.reserve(best.size());
  for (const std::uint64_t found : best) rows.push_back(static_cast<std::uint32_t>(found));
  return rows;
}

}  // namespace kovali
