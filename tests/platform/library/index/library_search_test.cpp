#include "platform/library/index/library_search.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

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

}  // namespace
}  // namespace kovali
