#include "music/music_service.h"

#include <stdexcept>
#include <string>
#include <vector>

#include <QSignalSpy>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fake_music_catalog.h"
#include "support/manual_scheduler.h"
#include "support/task_result.h"

namespace kovali {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;
using Availability = MusicService::Availability;

Song song(const std::string& id) { return Song{id, "Title " + id, "Artist " + id, {}, {}, {}, {}, {}}; }

std::vector<Song> songs(int count, const std::string& prefix = "s") {
  std::vector<Song> result;
  for (int i = 1; i <= count; ++i) result.push_back(song(prefix + std::to_string(i)));
  return result;
}

std::vector<MusicTrackEntry> entries(const std::vector<Song>& songs) { return {songs.begin(), songs.end()}; }

std::vector<std::string> ids(const std::vector<Song>& songs) {
  std::vector<std::string> result;
  for (const auto& s : songs) result.push_back(s.id);
  return result;
}

vinaro::PlaylistRef ref(vinaro::PlaylistRef::Source source, const std::string& id) {
  return vinaro::PlaylistRef{source, id, "Name", std::nullopt, std::nullopt, std::nullopt};
}

/// Runs a task of the service that completes without waiting (the fake answers at once).
template <class T>
T run(QCoro::Task<T> task) {
  auto result = startTask(std::move(task));
  if (!result->has_value()) throw std::runtime_error("the task did not finish");
  return std::move(**result);
}

void run(QCoro::Task<> task) {
  auto done = startTask(std::move(task));
  EXPECT_TRUE(*done) << "the task did not finish";
}

class MusicServiceTest : public ::testing::Test {
 protected:
  FakeMusicCatalog catalog;
  MusicService service{catalog};
};

// ---- availability -------------------------------------------------------------------------------

TEST_F(MusicServiceTest, IsUnknownBeforeAnyRefresh) {
  EXPECT_EQ(service.availability(), Availability(MusicService::Unknown{}));
  EXPECT_THAT(catalog.requests, IsEmpty());
}

TEST_F(MusicServiceTest, RefreshEndsInTheStateTheCatalogueAnswers) {
  using Status = MusicAuthorizationStatus;
  struct Case {
    const char* name;
    Status authorization;
    MusicResult<MusicSubscription> subscription;
    Availability expected;
    std::vector<std::string> requests;
  } cases[] = {
      {"denied", Status::denied, MusicSubscription{true}, MusicService::Denied{Status::denied}, {"authorization"}},
      {"restricted", Status::restricted, MusicSubscription{true}, MusicService::Denied{Status::restricted},
       {"authorization"}},
      {"not determined", Status::notDetermined, MusicSubscription{true},
       MusicService::Denied{Status::notDetermined}, {"authorization"}},
      {"unreadable subscription", Status::authorized, MusicError{"The music folder /m cannot be read."},
       MusicService::Failed{"The music folder /m cannot be read."}, {"authorization", "subscription"}},
      {"no catalogue content", Status::authorized, MusicSubscription{false}, MusicService::NoSubscription{},
       {"authorization", "subscription"}},
      {"ready", Status::authorized, MusicSubscription{true}, MusicService::Ready{},
       {"authorization", "subscription"}},
  };
  for (const auto& c : cases) {
    FakeMusicCatalog fake;
    fake.authorization = c.authorization;
    fake.subscription = c.subscription;
    MusicService music(fake);
    QSignalSpy changes(&music, &MusicService::availabilityChanged);

    run(music.refresh());

    EXPECT_EQ(music.availability(), c.expected) << c.name;
    EXPECT_EQ(fake.requests, c.requests) << c.name;
    EXPECT_EQ(changes.count(), 2) << c.name << ": authorizing, then the answer";
  }
}

TEST_F(MusicServiceTest, ShowsAuthorizingWhileTheAnswerIsAwaited) {
  ManualScheduler scheduler;
  FakeMusicCatalog slow(&scheduler);
  slow.delay = 1;
  MusicService music(slow);

  auto done = startTask(music.refresh());
  EXPECT_EQ(music.availability(), Availability(MusicService::Authorizing{}));
  scheduler.advance(2);

  EXPECT_TRUE(*done);
  EXPECT_EQ(music.availability(), Availability(MusicService::Ready{}));
}

TEST_F(MusicServiceTest, ALaterRefreshStartsAgainFromAuthorizing) {
  run(service.refresh());
  catalog.subscription = MusicError{"gone"};
  QSignalSpy changes(&service, &MusicService::availabilityChanged);

  run(service.refresh());

  EXPECT_EQ(service.availability(), Availability(MusicService::Failed{"gone"}));
  EXPECT_EQ(changes.count(), 2);
}

TEST_F(MusicServiceTest, NotifiesOnlyWhenTheValueChanges) {
  QSignalSpy changes(&service, &MusicService::availabilityChanged);
  service.setAvailability(MusicService::Ready{});
  service.setAvailability(MusicService::Ready{});
  service.setAvailability(MusicService::Failed{"a"});
  service.setAvailability(MusicService::Failed{"a"});
  service.setAvailability(MusicService::Failed{"b"});
  service.setAvailability(MusicService::Denied{MusicAuthorizationStatus::denied});
  service.setAvailability(MusicService::Denied{MusicAuthorizationStatus::restricted});
  EXPECT_EQ(changes.count(), 5);
}

// ---- song lookup and tracks ---------------------------------------------------------------------

TEST_F(MusicServiceTest, SongLookupFindsTheSongOrNothing) {
  catalog.songs = songs(3);
  auto found = run(service.song("s2"));
  ASSERT_TRUE(found);
  ASSERT_TRUE(found.value());
  EXPECT_EQ(found.value()->id, "s2");

  auto missing = run(service.song("nope"));
  ASSERT_TRUE(missing);
  EXPECT_FALSE(missing.value());
}

TEST_F(MusicServiceTest, SongLookupPassesAFailureOnUnchanged) {
  catalog.failOn("catalog song s1", MusicError{"The music folder /m cannot be read."});
  auto result = run(service.song("s1"));
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().description, "The music folder /m cannot be read.");
}

TEST(MusicServiceTrack, FillsEveryFieldFromTheSong) {
  Song full{"id1", "Title", "Artist", "Album", 201.5, Artwork{"https://img/{w}x{h}bb.jpg"},
            ContentRating::explicitContent, "file:///m/a.mp3"};
  EXPECT_EQ(MusicService::track(full),
            (vinaro::Track{"id1", "Title", "Artist", "Album", 201.5, "https://img/{w}x{h}bb.jpg", true}));

  Song bare{"id2", "T", "A", {}, {}, {}, {}, {}};
  EXPECT_EQ(MusicService::track(bare), (vinaro::Track{"id2", "T", "A", {}, {}, {}, false}));
}

TEST(MusicServiceTrack, BuildsTheArtworkTemplate) {
  struct Case {
    const char* name;
    std::optional<Artwork> artwork;
    std::optional<std::string> expected;
  } cases[] = {
      {"no artwork", std::nullopt, std::nullopt},
      {"artwork without an address", Artwork{"not a url"}, std::nullopt},
      {"placeholders become the probe size and back", Artwork{"https://a/{w}x{h}.jpg"}, "https://a/{w}x{h}.jpg"},
      {"fixed address without the size", Artwork{"https://a/cover.jpg"}, "https://a/cover.jpg"},
      {"the size twice", Artwork{"https://a/4096x4096/{w}x{h}.jpg"}, "https://a/{w}x{h}/{w}x{h}.jpg"},
      {"other sizes stay", Artwork{"https://a/100x100/{w}x{h}"}, "https://a/100x100/{w}x{h}"},
  };
  for (const auto& c : cases) {
    Song s{"id", "T", "A", {}, {}, c.artwork, {}, {}};
    EXPECT_EQ(MusicService::track(s).artworkURLTemplate, c.expected) << c.name;
  }
}

TEST(MusicServiceTrack, OnlyAnExplicitRatingMarksTheTrackExplicit) {
  Song s{"id", "T", "A", {}, {}, {}, {}, {}};
  EXPECT_FALSE(MusicService::track(s).isExplicit);
  s.contentRating = ContentRating::clean;
  EXPECT_FALSE(MusicService::track(s).isExplicit);
  s.contentRating = ContentRating::explicitContent;
  EXPECT_TRUE(MusicService::track(s).isExplicit);
}

// ---- search -------------------------------------------------------------------------------------

TEST_F(MusicServiceTest, ABlankTermAsksNothing) {
  for (const char* term : {"", "   ", " \n\t \r\n", "\u00a0\u2028"}) {
    auto result = run(service.searchSongs(term, 10));
    ASSERT_TRUE(result) << '"' << term << '"';
    EXPECT_THAT(result.value(), IsEmpty());
  }
  EXPECT_THAT(catalog.requests, IsEmpty());
}

TEST_F(MusicServiceTest, SendsTheTermTrimmedAndTheLimitWithinOneToTwentyFive) {
  struct Case {
    int limit;
    int sent;
  } cases[] = {{0, 1}, {-5, 1}, {1, 1}, {7, 7}, {25, 25}, {26, 25}, {100, 25}};
  for (const auto& c : cases) {
    catalog.requests.clear();
    run(service.searchSongs("  daft punk \n", c.limit));
    run(service.searchAlbums("\tdaft punk", c.limit));
    run(service.searchPlaylists("daft punk  ", c.limit));
    const std::string limit = " limit " + std::to_string(c.sent);
    EXPECT_THAT(catalog.requests, ElementsAre("search songs \"daft punk\"" + limit,
                                              "search albums \"daft punk\"" + limit,
                                              "search playlists \"daft punk\"" + limit))
        << "limit " << c.limit;
  }
}

TEST_F(MusicServiceTest, ReturnsTheFirstBatchInTheCataloguesOrder) {
  catalog.songs = {song("c"), song("a"), song("b")};
  catalog.albums = {{Album{"al1", "One", "X", {}, 3}, {}}, {Album{"al2", "Two", "Y", {}, 1}, {}}};
  catalog.playlists = {{Playlist{"p1", "Mix", "Curator", {}}, {}}};

  EXPECT_EQ(ids(run(service.searchSongs("x", 25)).value()), (std::vector<std::string>{"c", "a", "b"}));
  EXPECT_EQ(ids(run(service.searchSongs("x", 2)).value()), (std::vector<std::string>{"c", "a"}));
  EXPECT_EQ(run(service.searchAlbums("x", 25)).value().size(), 2u);
  EXPECT_EQ(run(service.searchPlaylists("x", 25)).value().front().name, "Mix");
}

TEST_F(MusicServiceTest, ASearchFailureReachesTheCallerUnchanged) {
  catalog.failOn("search albums \"x\" limit 25", MusicError{"boom"});
  auto result = run(service.searchAlbums("x", 50));
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error(), MusicError{"boom"});
}

// ---- library playlists --------------------------------------------------------------------------

std::vector<FakeMusicCatalog::WithTracks<Playlist>> libraryPlaylists(int count) {
  std::vector<FakeMusicCatalog::WithTracks<Playlist>> result;
  for (int i = 1; i <= count; ++i) {
    result.push_back({Playlist{"lp" + std::to_string(i), "List " + std::to_string(i), "Me", {}}, std::nullopt});
  }
  return result;
}

TEST_F(MusicServiceTest, LibraryPlaylistsGatherEveryBatchAsLibraryReferences) {
  catalog.library = libraryPlaylists(7);
  catalog.batchSize = 3;

  auto result = run(service.libraryPlaylists());

  ASSERT_TRUE(result);
  ASSERT_EQ(result.value().size(), 7u);
  EXPECT_EQ(result.value()[6], (vinaro::PlaylistRef{vinaro::PlaylistRef::Source::library, "lp7", "List 7",
                                                    std::nullopt, std::nullopt, std::nullopt}));
  EXPECT_THAT(catalog.requests, ElementsAre("library playlists", "next batch 2 of library playlists",
                                            "next batch 3 of library playlists"));
}

TEST_F(MusicServiceTest, AnEmptyLibraryHasNoPlaylists) {
  auto result = run(service.libraryPlaylists());
  ASSERT_TRUE(result);
  EXPECT_THAT(result.value(), IsEmpty());
}

TEST_F(MusicServiceTest, ALibraryBatchFailureDropsThePlaylistsGathered) {
  catalog.library = libraryPlaylists(7);
  catalog.batchSize = 3;
  catalog.failOn("next batch 3 of library playlists", MusicError{"lost"});
  auto result = run(service.libraryPlaylists());
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().description, "lost");
}

// ---- tracks of a collection ---------------------------------------------------------------------

using Source = vinaro::PlaylistRef::Source;

TEST_F(MusicServiceTest, ACustomCollectionIsEmptyWithoutARequest) {
  auto result = run(service.tracks(ref(Source::custom, "x"), 500));
  ASSERT_TRUE(result);
  EXPECT_THAT(result.value(), IsEmpty());
  EXPECT_THAT(catalog.requests, IsEmpty());
}

TEST_F(MusicServiceTest, AnUnknownCollectionIsEmptyNotAFailure) {
  for (auto source : {Source::library, Source::catalog, Source::album}) {
    auto result = run(service.tracks(ref(source, "gone"), 500));
    ASSERT_TRUE(result);
    EXPECT_THAT(result.value(), IsEmpty());
  }
  EXPECT_THAT(catalog.requests, ElementsAre("library playlist gone", "catalog playlist gone", "catalog album gone"));
}

TEST_F(MusicServiceTest, ACollectionWithoutTrackListIsEmpty) {
  catalog.library = {{Playlist{"lp", "L", {}, {}}, std::nullopt}};
  catalog.albums = {{Album{"al", "A", "X", {}, 0}, std::nullopt}};
  EXPECT_THAT(run(service.tracks(ref(Source::library, "lp"), 500)).value(), IsEmpty());
  EXPECT_THAT(run(service.tracks(ref(Source::album, "al"), 500)).value(), IsEmpty());
}

TEST_F(MusicServiceTest, APlaylistStopsFetchingOnceTheLimitIsReached) {
  catalog.batchSize = 100;
  catalog.playlists = {{Playlist{"big", "Big", {}, {}}, entries(songs(700))}};

  auto result = run(service.tracks(ref(Source::catalog, "big"), 500));

  ASSERT_TRUE(result);
  ASSERT_EQ(result.value().size(), 500u);
  EXPECT_EQ(result.value().front().id, "s1");
  EXPECT_EQ(result.value().back().id, "s500");
  EXPECT_THAT(catalog.requests,
              ElementsAre("catalog playlist big", "tracks of playlist big", "next batch 2 of playlist big",
                          "next batch 3 of playlist big", "next batch 4 of playlist big",
                          "next batch 5 of playlist big"));
}

TEST_F(MusicServiceTest, APlaylistShorterThanTheLimitIsReadToTheEnd) {
  catalog.batchSize = 2;
  catalog.library = {{Playlist{"lp", "L", {}, {}}, entries(songs(5))}};
  auto result = run(service.tracks(ref(Source::library, "lp"), 500));
  ASSERT_TRUE(result);
  EXPECT_EQ(ids(result.value()), (std::vector<std::string>{"s1", "s2", "s3", "s4", "s5"}));
}

TEST_F(MusicServiceTest, EntriesThatAreNotSongsAreSkippedAndDoNotCount) {
  catalog.batchSize = 3;
  catalog.library = {{Playlist{"lp", "L", {}, {}},
                      std::vector<MusicTrackEntry>{MusicVideo{"v1", "Video"}, song("a"), MusicVideo{"v2", "Video"},
                                                   song("b"), song("c"), MusicVideo{"v3", "Video"}, song("d")}}};

  auto result = run(service.tracks(ref(Source::library, "lp"), 3));

  ASSERT_TRUE(result);
  EXPECT_EQ(ids(result.value()), (std::vector<std::string>{"a", "b", "c"}));
  // The third song is the second entry of the second batch; the third batch is never asked for.
  EXPECT_THAT(catalog.requests,
              ElementsAre("library playlist lp", "tracks of playlist lp", "next batch 2 of playlist lp"));
}

TEST_F(MusicServiceTest, AnAlbumGivesItsFirstTrackBatchOnly) {
  catalog.batchSize = 4;
  std::vector<MusicTrackEntry> tracks = entries(songs(6));
  tracks.insert(tracks.begin() + 1, MusicVideo{"v", "Clip"});
  catalog.albums = {{Album{"al", "A", "X", {}, 7}, tracks}};

  auto result = run(service.tracks(ref(Source::album, "al"), 2));

  ASSERT_TRUE(result);
  EXPECT_EQ(ids(result.value()), (std::vector<std::string>{"s1", "s2", "s3"})) << "the limit is not applied";
  EXPECT_THAT(catalog.requests, ElementsAre("catalog album al", "tracks of album al"));
}

TEST_F(MusicServiceTest, AFailureOnALaterBatchReturnsTheFailureNotTheSongs) {
  catalog.batchSize = 10;
  catalog.library = {{Playlist{"lp", "L", {}, {}}, entries(songs(50))}};
  catalog.failOn("next batch 3 of playlist lp", MusicError{"The disk went away."});

  auto result = run(service.tracks(ref(Source::library, "lp"), 500));

  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().description, "The disk went away.");
}

TEST_F(MusicServiceTest, FailuresOfTheLookupAndTheTrackListReachTheCaller) {
  catalog.albums = {{Album{"al", "A", "X", {}, 1}, entries(songs(1))}};
  catalog.failOn("tracks of album al", MusicError{"tracks"});
  catalog.failOn("catalog playlist p", MusicError{"lookup"});
  EXPECT_EQ(run(service.tracks(ref(Source::album, "al"), 500)).error().description, "tracks");
  EXPECT_EQ(run(service.tracks(ref(Source::catalog, "p"), 500)).error().description, "lookup");
}

}  // namespace
}  // namespace kovali
