#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kovali {

/// Search over the rows of one kind of item (songs, albums or playlists), each with up to three
/// fields, most telling first (title, artist, album). A row matches when every word of the term
/// occurs in it, ignoring case and accents. Matches come best first: the whole term as a field,
/// then a field that starts with it, then words that start words, in the more telling fields;
/// equal matches keep the order in which the rows were added.
class LibrarySearch {
 public:
  static constexpr std::size_t maxFields = 3;

  /// Adds the next row; `fields` are UTF-8 as shown, at most `maxFields`.
  void add(std::initializer_list<std::string_view> fields);

  /// The best `limit` rows for `term`, as row numbers in the order of `add`.
  std::vector<std::size_t> search(std::string_view term, std::size_t limit) const;

  std::size_t size() const { return rows_.size(); }

 private:
  struct Row {
    std::uint32_t start = 0;
    std::uint32_t lengths[maxFields] = {};
  };

  std::string_view text(const Row& row) const;
  int score(const Row& row, const std::vector<std::string>& words, std::string_view query) const;

  std::string text_;  // every row's folded fields, each field followed by a separator
  std::vector<Row> rows_;
};

}  // namespace kovali
