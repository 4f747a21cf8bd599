#include "platform/library/index/library_search.h"

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/library/index/library_text.h"

namespace kovali {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class LibrarySearchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    search.add({"Around the World", "Daft Punk", "Homework"});      // 0
    search.add({"One More Time", "Daft Punk", "Discovery"});         // 1
    search.add({"Worldwide", "Someone", "Daft Tunes"});              // 2
    search.add({"Déjà Vu", "Beyoncé", "B'Day"});                     // 3
    search.add({"Punk", "The Band", "Around"});                      // 4
    search.add({"Homework Blues", "Daft Punk Tribute", "Covers"});   // 5
  }
  LibrarySearch search;
};

TEST_F(LibrarySearchTest, EveryWordMustOccurSomewhere) {
  EXPECT_THAT(search.search("daft tunes", 10), ElementsAre(2));
  EXPECT_THAT(search.search("daft nothing", 10), IsEmpty());
}

TEST_F(LibrarySearchTest, FindsByTitleArtistAndAlbumIgnoringCaseAndAccents) {
  EXPECT_THAT(search.search("DEJA", 10), ElementsAre(3));
  EXPECT_THAT(search.search("beyonce", 10), ElementsAre(3));
  EXPECT_THAT(search.search("discovery", 10), ElementsAre(1));
}

TEST_F(LibrarySearchTest, RanksTheWholeTitleFirstThenWordsInMoreTellingFields) {
  // "punk" is the whole title of 4, an artist word of 0, 1 and 5.
  EXPECT_THAT(search.search("punk", 10), ElementsAre(4, 0, 1, 5));
  // A title starting with the term beats the term as an album.
  EXPECT_THAT(search.search("homework", 10), ElementsAre(5, 0));
  // A title starting with the term beats the term as a later word of a title.
  EXPECT_THAT(search.search("world", 10), ElementsAre(2, 0));
  // Whole words in title and artist beat a prefix of the title and a word of the album.
  EXPECT_THAT(search.search("daft world", 10), ElementsAre(0, 2));
}

TEST(LibrarySearchRanking, AWordInsideATitleWordDoesNotHideTheSameWordWholeInTheArtist) {
  LibrarySearch search;
  search.add({"Tea for Two", "Roseanne Cash", "Live"});  // 0: the artist starts with the word
  search.add({"Primrose", "Rose Royce", "Live"});        // 1: inside the title, and the artist's whole first word
  EXPECT_THAT(search.search("rose", 10), ElementsAre(1, 0));
}

TEST_F(LibrarySearchTest, KeepsToTheLimitAndFindsNothingForABlankTerm) {
  EXPECT_THAT(search.search("punk", 2), ElementsAre(4, 0));
  EXPECT_THAT(search.search("punk", 0), IsEmpty());
  EXPECT_THAT(search.search("   ", 10), IsEmpty());
}

// The search as one pass over every row: each row's fields checked for every word and scored.
class ScanningSearch {
 public:
  void add(std::vector<std::string> fields) {
    for (auto& field : fields) field = foldedForSearch(field);
    fields.resize(LibrarySearch::maxFields);
    rows_.push_back(std::move(fields));
  }

  std::vector<std::size_t> search(std::string_view term, std::size_t limit) const {
    const std::string query = foldedForSearch(term);
    const auto words = searchWords(query);
    std::vector<std::pair<int, std::size_t>> matches;
    for (std::size_t row = 0; row < rows_.size() && !words.empty(); ++row) {
      int total = 0;
      bool all = true;
      for (const auto& word : words) {
        int best = 0;
        for (std::size_t i = 0; i < rows_[row].size(); ++i) best = std::max(best, kWeight[i] * quality(rows_[row][i], word));
        all = all && best > 0;
        total += best;
      }
      for (std::size_t i = 0; i < rows_[row].size(); ++i) {
        if (rows_[row][i] == query) total += 100 * kWeight[i];
        else if (rows_[row][i].starts_with(query)) total += 40 * kWeight[i];
      }
      if (all) matches.emplace_back(-total, row);
    }
    std::sort(matches.begin(), matches.end());
    std::vector<std::size_t> rows;
    for (std::size_t i = 0; i < std::min(limit, matches.size()); ++i) rows.push_back(matches[i].second);
    return rows;
  }

 private:
  static constexpr int kWeight[] = {3, 2, 1};

  // 3: a word of the field; 2: the start of one; 1: inside one.
  static int quality(std::string_view field, std::string_view word) {
    int best = 0;
    for (auto at = field.find(word); at != std::string_view::npos; at = field.find(word, at + 1)) {
      const bool starts = at == 0 || field[at - 1] == ' ';
      const bool ends = at + word.size() == field.size() || field[at + word.size()] == ' ';
      best = std::max(best, starts ? (ends ? 3 : 2) : 1);
    }
    return best;
  }

  std::vector<std::vector<std::string>> rows_;
};

TEST(LibrarySearchIndex, FindsWhatAScanOfEveryRowFinds) {
  // Few short syllables, so that words repeat, contain each other and share starts.
  const std::vector<std::string> syllables = {"a", "an", "na", "ban", "é", "E", "lo", "ve", "love", "ø", "x"};
  std::mt19937 random(5);
  const auto text = [&](int maxWords) {
    std::string made;
    const int count = static_cast<int>(random() % static_cast<unsigned>(maxWords + 1));
    for (int w = 0; w < count; ++w) {
      made += w ? (random() % 4 ? " " : "  ") : "";
      for (unsigned s = 0, n = 1 + random() % 3; s < n; ++s) made += syllables[random() % syllables.size()];
    }
    return made;
  };
  LibrarySearch search;
  ScanningSearch scan;
  for (int row = 0; row < 400; ++row) {
    std::vector<std::string> fields = {text(3), text(2), text(3)};
    fields.resize(1 + random() % 3);
    if (fields.size() == 1) search.add({fields[0]});
    if (fields.size() == 2) search.add({fields[0], fields[1]});
    if (fields.size() == 3) search.add({fields[0], fields[1], fields[2]});
    scan.add(fields);
  }
  for (int i = 0; i < 3000; ++i) {
    const std::string term = text(3);
    const std::size_t limits[] = {1, 3, 25, 25, 1000};
    const std::size_t limit = limits[random() % std::size(limits)];
    ASSERT_EQ(search.search(term, limit), scan.search(term, limit)) << "term \"" << term << "\", limit " << limit;
  }
}

}  // namespace
}  // namespace kovali
