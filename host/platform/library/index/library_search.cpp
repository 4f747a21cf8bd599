#include "platform/library/index/library_search.h"

#include <algorithm>
#include <utility>

#include "platform/library/index/library_text.h"

namespace kovali {

namespace {

constexpr char kSeparator = '\x1f';
constexpr int kFieldWeight[LibrarySearch::maxFields] = {3, 2, 1};

bool startsWord(std::string_view field, std::size_t at) { return at == 0 || field[at - 1] == ' '; }

bool endsWord(std::string_view field, std::size_t end) { return end == field.size() || field[end] == ' '; }

// How well `word` occurs in `field`: 0 not at all, 1 inside a word, 2 starting a word, 3 as a word.
int hitQuality(std::string_view field, std::string_view word) {
  int best = 0;
  for (auto at = field.find(word); at != std::string_view::npos; at = field.find(word, at + 1)) {
    if (!startsWord(field, at)) {
      best = std::max(best, 1);
    } else if (endsWord(field, at + word.size())) {
      return 3;
    } else {
      best = 2;
    }
  }
  return best;
}

}  // namespace

void LibrarySearch::add(std::initializer_list<std::string_view> fields) {
  Row row;
  row.start = static_cast<std::uint32_t>(text_.size());
  // Every row holds all fields, empty ones too, so that offsets follow from the lengths alone.
  auto value = fields.begin();
  for (std::size_t i = 0; i < maxFields; ++i) {
    const std::string folded = value != fields.end() ? foldedForSearch(*value++) : std::string();
    row.lengths[i] = static_cast<std::uint32_t>(folded.size());
    text_ += folded;
    text_ += kSeparator;
  }
  rows_.push_back(row);
}

std::string_view LibrarySearch::text(const Row& row) const {
  std::size_t length = 0;
  for (const auto fieldLength : row.lengths) length += fieldLength + 1;
  return std::string_view(text_).substr(row.start, length);
}

int LibrarySearch::score(const Row& row, const std::vector<std::string>& words, std::string_view query) const {
  std::string_view fields[maxFields];
  for (std::size_t i = 0, start = row.start; i < maxFields; start += row.lengths[i] + 1, ++i) {
    fields[i] = std::string_view(text_).substr(start, row.lengths[i]);
  }
  int total = 0;
  for (std::size_t i = 0; i < maxFields; ++i) {
    if (fields[i] == query) {
      total += 100 * kFieldWeight[i];
    } else if (fields[i].starts_with(query)) {
      total += 40 * kFieldWeight[i];
    }
  }
  for (const auto& word : words) {
    int best = 0;
    for (std::size_t i = 0; i < maxFields && best < 3 * kFieldWeight[0]; ++i) {
      best = std::max(best, kFieldWeight[i] * hitQuality(fields[i], word));
    }
    total += best;
  }
  return total;
}

std::vector<std::size_t> LibrarySearch::search(std::string_view term, std::size_t limit) const {
  const std::string query = foldedForSearch(term);
  const std::vector<std::string> words = searchWords(query);
  if (words.empty() || limit == 0) return {};

  std::vector<std::pair<int, std::size_t>> matches;  // score, row
  for (std::size_t i = 0; i < rows_.size(); ++i) {
    const std::string_view row = text(rows_[i]);
    const bool all = std::all_of(words.begin(), words.end(),
                                 [&](const std::string& word) { return row.find(word) != std::string_view::npos; });
    if (all) matches.emplace_back(score(rows_[i], words, query), i);
  }
  const auto better = [](const auto& a, const auto& b) { return a.first != b.first ? a.first > b.first : a.second < b.second; };
  const std::size_t count = std::min(limit, matches.size());
  std::partial_sort(matches.begin(), matches.begin() + static_cast<std::ptrdiff_t>(count), matches.end(), better);

  std::vector<std::size_t> rows;
  rows.reserve(count);
  for (std::size_t i = 0; i < count; ++i) rows.push_back(matches[i].second);
  return rows;
}

}  // namespace kovali
