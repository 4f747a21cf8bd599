#include "app/console/library/search_session.h"

#include <gtest/gtest.h>

#include "app/console/console_fixture.h"
#include "support/sample_values.h"

namespace kovali {
namespace {

using Kind = SearchSession::Kind;

class SearchSessionTest : public ConsoleTest {
 protected:
  SearchSessionTest() {
    catalog.songs = {song("s1"), song("s2")};
    catalog.albums = {
        {Album{"al-empty", "Quiet Album", "Nobody", {}, 0}, std::vector<MusicTrackEntry>{}},
        {Album{"al-full", "Loud Album", "Band", {}, 12}, std::vector<MusicTrackEntry>{song("t1"), song("t2")}}};
    catalog.playlists = {{Playlist{"pl", "Road Trip", "Kai", {}}, std::vector<MusicTrackEntry>{song("t3")}},
                         {Playlist{"pl-bare", "Bare", std::nullopt, {}}, std::vector<MusicTrackEntry>{song("t4")}}};
  }

  std::vector<std::string> searches() const {
    std::vector<std::string> terms;
    for (const auto &request : catalog.searches) terms.push_back(request.term);
    return terms;
  }

  SearchSession session{store(), scheduler};
};

TEST_F(SearchSessionTest, ThreeQuickKeystrokesSearchOnceForAllThree) {
  session.setQuery("t");
  advance(0.1);
  session.setQuery("ti");
  advance(0.1);
  session.setQuery("tit");
  advance(0.29);
  EXPECT_TRUE(searches().empty());
  advance(0.02);
  EXPECT_EQ(searches(), std::vector<std::string>{"tit"});
  ASSERT_EQ(session.results().size(), 2u);
  EXPECT_EQ(session.results()[0],
            (SearchResultModel{"s1", MusicService::track(song("s1")), "Title s1", "Artist s1", false, false}));
}

TEST_F(SearchSessionTest, ReturnSearchesAtOnceAndTheTypingSearchStillFollows) {
  session.setQuery("road");
  session.runSearch();
  runPostedEvents();
  EXPECT_EQ(searches(), std::vector<std::string>{"road"});
  advance(0.3);
  EXPECT_EQ(searches(), (std::vector<std::string>{"road", "road"}));
}

TEST_F(SearchSessionTest, AChangeOfKindSearchesAtOnceAndKeepsTheOtherListsResults) {
  session.setQuery("x");
  session.runSearch();
  runPostedEvents();
  session.setKind(Kind::albums);
  runPostedEvents();
  ASSERT_EQ(session.results().size(), 2u);
  EXPECT_EQ(session.results()[1].subtitle, "Band \u00B7 12 songs");
  EXPECT_TRUE(session.results()[1].isCollection);
  session.setKind(Kind::albums);
  EXPECT_EQ(catalog.searches.size(), 2u) << "the same kind searches nothing";

  session.setKind(Kind::playlists);
  runPostedEvents();
  EXPECT_EQ(session.results()[0].subtitle, "Kai");
  EXPECT_EQ(session.results()[1].subtitle, "");
  session.setKind(Kind::songs);
  EXPECT_EQ(session.results().size(), 2u) << "the last song results show at once";
  EXPECT_EQ(session.results()[0].id, "s1");
}

TEST_F(SearchSessionTest, AFailedSearchShowsItsSentenceAndKeepsTheResults) {
  session.setQuery("a");
  session.runSearch();
  runPostedEvents();
  catalog.failOn("search songs \"b\" limit 25", MusicError{"The library is being read again."});
  session.setQuery("b");
  session.runSearch();
  runPostedEvents();
  EXPECT_EQ(session.error(), "The library is being read again.");
  EXPECT_EQ(session.results().size(), 2u);
  session.setQuery("a");
  advance(0.3);
  EXPECT_EQ(session.error(), std::nullopt);
}

TEST_F(SearchSessionTest, AnAddedSongIsMarkedForTwoSecondsAndARefusedOneShowsWhy) {
  session.setQuery("s");
  session.runSearch();
  runPostedEvents();
  session.add("s1");
  EXPECT_EQ(store().state().queue.size(), 1u);
  EXPECT_TRUE(session.results()[0].added);
  advance(1.9);
  EXPECT_TRUE(session.results()[0].added);
  advance(0.2);
  EXPECT_FALSE(session.results()[0].added);

  session.add("s1");
  ASSERT_TRUE(store().lastHostError().has_value()) << "the same song twice is refused";
  EXPECT_EQ(session.error(), store().lastHostError()->message);
  EXPECT_FALSE(session.results()[0].added);
  EXPECT_EQ(store().state().queue.size(), 1u);
}

TEST_F(SearchSessionTest, AddAllQueuesTheAlbumOrSaysItHasNoPlayableSongs) {
  session.setQuery("album");
  session.setKind(Kind::albums);
  runPostedEvents();
  session.add("al-empty");
  advance(0);
  EXPECT_EQ(session.error(), "Quiet Album has no playable songs.");
  EXPECT_FALSE(session.results()[0].added);
  EXPECT_TRUE(store().state().queue.empty());

  session.add("al-full");
  advance(0);
  EXPECT_EQ(session.error(), std::nullopt);
  EXPECT_TRUE(session.results()[1].added);
  ASSERT_EQ(store().state().queue.size(), 2u);
  EXPECT_EQ(store().state().queue[0].track.id, "t1");
  EXPECT_EQ(store().state().source->id, "al-full");
  EXPECT_EQ(store().lastHostError(), std::nullopt);
}

}  // namespace
}  // namespace kovali

namespace kovali {
namespace {

TEST(CollectionSubtitle, JoinsTheSubtitleAndTheSongCountThatExist) {
  auto ref = vinaro::samples::album("a", "Blue");
  EXPECT_EQ(collectionSubtitle(ref), "");
  ref.trackCount = 1;
  EXPECT_EQ(collectionSubtitle(ref), "1 songs") << "no singular";
  ref.subtitle = "";
  EXPECT_EQ(collectionSubtitle(ref), "1 songs") << "an empty subtitle is left out";
  ref.subtitle = "Marlow";
  EXPECT_EQ(collectionSubtitle(ref), "Marlow \u00B7 1 songs");
}

}  // namespace
}  // namespace kovali
