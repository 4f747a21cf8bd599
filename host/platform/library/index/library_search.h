#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace kovali {

/// Search over the rows of one kind of item (songs, albums or playlists), each with up to three
/// fields, most telling first (title, artist, album). A row matches when every word of the term
/// occurs in it, ignoring case and accents. Matches come best first: the whole term as a field,
/// then a field that starts with it, then words that start words, in the more telling fields;
/// equal matches keep the order in which the rows were added.
///
/// The rows' distinct words are kept apart, each with the rows that hold it, so that a search
/// looks for its words among the distinct words once and then visits only the rows holding one.
class LibrarySearch {
 public:
  static constexpr std::size_t maxFields = 3;

  /// Adds the next row; `fields` are UTF-8 as shown, at most `maxFields`.
  void add(std::initializer_list<std::string_view> fields);

  /// The best `limit` rows for `term`, as row numbers in the order of `add`.
  std::vector<std::size_t> search(std::string_view term, std::size_t limit) const;

  std::size_t size() const { return rows_.size(); }

 private:
  template <class Archive>
  friend void describe(Archive& archive, LibrarySearch& search);

  struct Row {
    std::uint32_t start = 0;
    std::uint32_t lengths[maxFields] = {};
  };
  /// A distinct word that contains a search word: 3 as the whole word, 2 at its start, 1 inside.
  struct WordHit {
    std::uint32_t word = 0;
    int quality = 0;
  };

  std::string_view field(const Row& row, std::size_t i) const;
  void numberWords();
  void addWord(std::string_view word, std::uint32_t row, std::size_t field, bool first);
  std::vector<WordHit> wordsContaining(std::string_view word) const;
  int termScore(const Row& row, unsigned fieldsStartingFirstWord, std::string_view query) const;

  std::string text_;  // every row's folded fields, each field followed by a separator
  std::vector<Row> rows_;
  std::string words_;                        // the distinct words, each followed by a line break
  std::vector<std::uint32_t> wordStarts_{0};  // where each word starts, then where the last one ends
  std::unordered_map<std::string, std::uint32_t> wordNumbers_;  // not kept in the cache: made again to add
  // For each distinct word, one entry per row holding it, by row: the row << 6, the fields
  // holding the word << 3, the fields the word starts.
  std::vector<std::vector<std::uint32_t>> wordRows_;
};

/// How a search is kept in the index cache (see library_bytes.h).
template <class Archive>
void describe(Archive& archive, LibrarySearch& search) {
  archive(search.text_, search.rows_, search.words_, search.wordStarts_, search.wordRows_);
}

}  // namespace kovali
