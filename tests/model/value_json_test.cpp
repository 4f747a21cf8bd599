#include <gtest/gtest.h>

#include <unordered_set>

#include "model/session_settings.h"
#include "model/song_request.h"
#include "support/sample_values.h"

namespace vinaro {
namespace {

template <class T>
bool decodes(std::string_view json) {
  return wire::tryDecode<T>(json).hasValue();
}

TEST(TrackJSON, OptionalFieldsAreLeftOutAndIsExplicitIsRequired) {
  const Track bare = wire::decode<Track>(R"({"id":"1","title":"T","artist":"A","isExplicit":false})");
  EXPECT_EQ(bare.album, std::nullopt);
  EXPECT_EQ(bare.duration, std::nullopt);
  EXPECT_EQ(wire::encode(bare), R"({"artist":"A","id":"1","isExplicit":false,"title":"T"})");
  EXPECT_FALSE(decodes<Track>(R"({"id":"1","title":"T","artist":"A"})"));
  EXPECT_FALSE(decodes<Track>(R"({"id":"1","title":"T","artist":"A","isExplicit":0})"));
  EXPECT_FALSE(decodes<Track>(R"({"id":1,"title":"T","artist":"A","isExplicit":false})"));

  const Track full{"1", "T", "A", "Al", 215.5, "https://a.example/{w}x{h}.jpg", true};
  EXPECT_EQ(wire::encode(full),
            R"({"album":"Al","artist":"A","artworkURLTemplate":"https://a.example/{w}x{h}.jpg","duration":215.5,)"
            R"("id":"1","isExplicit":true,"title":"T"})");
  EXPECT_EQ(wire::decode<Track>(wire::encode(full)), full);
}

TEST(ParticipantJSON, RoleMustBeGuestOrDj) {
  EXPECT_EQ(wire::decode<Participant>(R"({"id":"x","name":"X","role":"dj"})"), (Participant{"x", "X", Role::dj}));
  for (const char* role : {"\"host\"", "\"Guest\"", "\"\"", "1", "null"}) {
    EXPECT_FALSE(decodes<Participant>(std::string(R"({"id":"x","name":"X","role":)") + role + "}")) << role;
  }
}

TEST(PlaybackStateJSON, LeavesOutAnAbsentCurrentEntry) {
  const PlaybackState idle{PlaybackStatus::stopped, std::nullopt, 0, Date{1500}};
  EXPECT_EQ(wire::encode(idle), R"({"elapsed":0,"elapsedAt":1500,"status":"stopped"})");
  EXPECT_EQ(wire::decode<PlaybackState>(R"({"elapsed":0,"elapsedAt":1500,"status":"stopped","current":null})"), idle);
}

TEST(SongRequestJSON, WritesTheItemUnderTrackOrCollection) {
  const SongRequest pending = samples::request("r1", RequestItem::track(samples::track("t")), samples::ana, 10, {});
  const std::string json = wire::encode(pending);
  EXPECT_NE(json.find(R"("track":{)"), std::string::npos);
  EXPECT_EQ(json.find("collection"), std::string::npos);
  EXPECT_EQ(json.find("resolvedAt"), std::string::npos);
  EXPECT_NE(json.find(R"("votes":[])"), std::string::npos);
  EXPECT_EQ(wire::decode<SongRequest>(json), pending);
}

TEST(SongRequestJSON, ReadsACollectionFirstAndVotesAsOptional) {
  const std::string requester = R"("requestedBy":{"id":"a","name":"A","role":"guest"},"createdAt":5,"status":"pending")";
  const std::string both = R"({"id":"r","track":{"id":"t","title":"T","artist":"A","isExplicit":false},)"
                           R"("collection":{"source":"album","id":"42","name":"Blue"},)" + requester + "}";
  const SongRequest request = wire::decode<SongRequest>(both);
  ASSERT_NE(request.item.collectionValue(), nullptr);
  EXPECT_EQ(request.collection()->id, "42");
  EXPECT_TRUE(request.votes.empty());
  const std::string reencoded = wire::encode(request);
  EXPECT_EQ(reencoded.find("\"track\""), std::string::npos);
  EXPECT_NE(reencoded.find(R"("votes":[])"), std::string::npos);

  EXPECT_FALSE(decodes<SongRequest>(R"({"id":"r",)" + requester + "}")) << "neither item key";
  EXPECT_FALSE(decodes<SongRequest>(
      R"({"id":"r","collection":{"source":"album","id":"1","name":"B"},"requestedBy":{"id":"a","name":"A","role":"guest"},)"
      R"("createdAt":5,"status":"cancelled"})"))
      << "unknown status";
}

TEST(RequestItem, KeysTitlesAndSubtitles) {
  const Track song{"42", "Song", "Singer", std::nullopt, std::nullopt, std::nullopt, false};
  PlaylistRef album{PlaylistRef::Source::album, "42", "Blue", "", std::nullopt, 12};
  const PlaylistRef bareLibrary{PlaylistRef::Source::library, "42", "Mine", std::nullopt, std::nullopt, std::nullopt};
  PlaylistRef catalog = bareLibrary;
  catalog.source = PlaylistRef::Source::catalog;
  catalog.subtitle = "Curated";
  catalog.trackCount = 1;

  EXPECT_EQ(RequestItem::track(song).key(), "track:42");
  EXPECT_EQ(RequestItem::collection(album).key(), "collection:album:42");
  EXPECT_NE(RequestItem::collection(bareLibrary).key(), RequestItem::collection(catalog).key());
  EXPECT_EQ(RequestItem::track(song).title(), "Song");
  EXPECT_EQ(RequestItem::collection(album).title(), "Blue");

  EXPECT_EQ(RequestItem::track(song).subtitle(), "Singer");
  EXPECT_EQ(RequestItem::collection(album).subtitle(), "Album \u00B7 12 songs");
  EXPECT_EQ(RequestItem::collection(bareLibrary).subtitle(), "Playlist");
  EXPECT_EQ(RequestItem::collection(catalog).subtitle(), "Playlist \u00B7 Curated \u00B7 1 songs");

  std::unordered_set<RequestItem> items{RequestItem::track(song), RequestItem::track(song),
                                        RequestItem::collection(album)};
  EXPECT_EQ(items.size(), 2u);
}

TEST(SessionSettingsJSON, MissingKeysFallBackAndTheRequestLimitFollowsTheSongLimit) {
  struct Case {
    const char* json;
    SessionSettings expected;
  } cases[] = {
      {"{}", {false, 3, false, false, 3, false}},
      {R"({"limitsPerGuest":true,"maxPendingPerGuest":5})", {true, 5, false, true, 5, false}},
      {R"({"limitsPerGuest":true,"maxPendingPerGuest":5,"limitsRequestsPerGuest":false})", {true, 5, false, false, 5, false}},
      {R"({"maxRequestsPerGuest":2,"roundRobinGuests":true,"autoPlaysTopRequest":true})", {false, 3, false, false, 2, true}},
      {R"({"limitsPerGuest":null,"allowDuplicates":true})", {false, 3, true, false, 3, false}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(wire::decode<SessionSettings>(c.json), c.expected) << c.json;
  }
  EXPECT_FALSE(decodes<SessionSettings>(R"({"maxPendingPerGuest":"5"})"));
}

TEST(SessionSettingsJSON, AlwaysWritesSevenKeysEndingWithRoundRobinOff) {
  const SessionSettings settings{true, 2, true, false, 4, true};
  const std::string json = wire::encode(settings);
  EXPECT_EQ(json,
            R"({"allowDuplicates":true,"autoPlaysTopRequest":true,"limitsPerGuest":true,"limitsRequestsPerGuest":false,)"
            R"("maxPendingPerGuest":2,"maxRequestsPerGuest":4,"roundRobinGuests":false})");
  EXPECT_EQ(wire::decode<SessionSettings>(json), settings);
}

}  // namespace
}  // namespace vinaro
