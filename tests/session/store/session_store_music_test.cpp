#include <algorithm>

#include "session/store/session_store_fixture.h"

namespace kovali {
namespace {

using vinaro::PlaylistRef;
using vinaro::ProtocolError;
using vinaro::SessionState;
using Code = vinaro::ProtocolError::Code;
using Source = vinaro::PlaylistRef::Source;

PlaylistRef ref(Source source, const std::string& id, const std::string& name = "Mix") {
  return PlaylistRef{source, id, name, std::nullopt, std::nullopt, std::nullopt};
}

class SessionStoreMusicTest : public SessionStoreTest {
 protected:
  void SetUp() override {
    startHostingThreeSongs();
    guest = join("Ana", "device-ana");
    dj = join("Dee", "device-dj");
    dj->sendCommand("pin", Command{Command::AuthenticateDJ{"2468"}});
    EXPECT_TRUE(dj->waitForMessages(4));
    sync(*guest);
    sync(*dj);
  }

  static std::optional<ProtocolError> errorOf(const std::optional<EventEnvelope>& reply) {
    if (!reply) return std::nullopt;
    if (const auto* error = std::get_if<ProtocolError>(&reply->body.payload)) return *error;
    return std::nullopt;
  }

  int catalogRequests(const std::string& request) const {
    return static_cast<int>(std::count(catalog.requests.begin(), catalog.requests.end(), request));
  }

  std::unique_ptr<GuestClient> guest;
  std::unique_ptr<GuestClient> dj;
};

TEST_F(SessionStoreMusicTest, ASongSearchCachesTheSongsSoAddingOneNeedsNoLookup) {
  const auto reply = ask(*guest, Command{Command::Search{"title", 2, Command::SearchKind::songs}}, "find");
  ASSERT_TRUE(reply);
  const auto* results = std::get_if<Event::SearchResults>(&reply->body.payload);
  ASSERT_TRUE(results);
  ASSERT_EQ(results->tracks.size(), 2u);
  EXPECT_EQ(results->tracks[0], MusicService::track(song("s1")));
  EXPECT_TRUE(results->collections.empty());
  EXPECT_EQ(store().songCache().size(), 2u);

  const auto added = ask(*guest, Command{Command::Add{"s2"}}, "add");
  ASSERT_TRUE(added);
  const auto* state = std::get_if<SessionState>(&added->body.payload);
  ASSERT_TRUE(state);
  ASSERT_EQ(state->queue.size(), 1u);
  EXPECT_EQ(state->queue[0].track.id, "s2");
  EXPECT_EQ(state->queue[0].addedBy.id, store().participantID("device-ana"));
  EXPECT_EQ(catalogRequests("catalog song s2"), 0);
}

TEST_F(SessionStoreMusicTest, AlbumAndPlaylistResultsBecomeReferencesWithArtworkTemplates) {
  Album withArt{"al1", "Blue", "Band", Artwork{"https://art.example/a/{w}x{h}bb.jpg"}, 11};
  Album without{"al2", "Grey", "Band", std::nullopt, 3};
  catalog.albums = {{withArt, std::nullopt}, {without, std::nullopt}};
  Playlist playlist{"pl1", "Hits", std::nullopt, Artwork{"https://art.example/p/{w}x{h}.png"}};
  catalog.playlists = {{playlist, std::nullopt}};

  const auto albums = ask(*guest, Command{Command::Search{"b", 25, Command::SearchKind::albums}}, "albums");
  ASSERT_TRUE(albums);
  const auto* found = std::get_if<Event::SearchResults>(&albums->body.payload);
  ASSERT_TRUE(found);
  EXPECT_TRUE(found->tracks.empty());
  EXPECT_EQ(found->collections, (std::vector<PlaylistRef>{
                                    {Source::album, "al1", "Blue", "Band", "https://art.example/a/{w}x{h}bb.jpg", 11},
                                    {Source::album, "al2", "Grey", "Band", std::nullopt, 3},
                                }));

  const auto playlists = ask(*guest, Command{Command::Search{"h", 25, Command::SearchKind::playlists}}, "lists");
  ASSERT_TRUE(playlists);
  const auto* lists = std::get_if<Event::SearchResults>(&playlists->body.payload);
  ASSERT_TRUE(lists);
  EXPECT_EQ(lists->collections, (std::vector<PlaylistRef>{{Source::catalog, "pl1", "Hits", std::nullopt,
                                                           "https://art.example/p/{w}x{h}.png", std::nullopt}}));
}

TEST_F(SessionStoreMusicTest, AnEmptySearchAnswersEmptyListsWithoutAskingTheCatalogue) {
  const auto reply = ask(*guest, Command{Command::Search{"  \n", 25, Command::SearchKind::songs}}, "blank");
  ASSERT_TRUE(reply);
  const auto* results = std::get_if<Event::SearchResults>(&reply->body.payload);
  ASSERT_TRUE(results);
  EXPECT_EQ(*results, Event::SearchResults{});
  EXPECT_TRUE(catalog.searches.empty());
}

TEST_F(SessionStoreMusicTest, RefusalsThatHoldWhetherOrNotTheMusicIsAvailable) {
  for (const bool available : {true, false}) {
    if (available) {
      music.setAvailability(MusicService::Ready{});
    } else {
      music.setAvailability(MusicService::Failed{"The music folder cannot be read."});
    }
    const std::string when = available ? "available" : "unavailable";

    const auto custom = ask(*dj, Command{Command::ListPlaylists{Source::custom}}, "custom");
    ASSERT_TRUE(custom) << when;
    const auto* none = std::get_if<std::vector<PlaylistRef>>(&custom->body.payload);
    ASSERT_TRUE(none) << when;
    EXPECT_TRUE(none->empty()) << when;

    EXPECT_EQ(errorOf(ask(*dj, Command{Command::ListPlaylists{Source::album}}, "albums")),
              ProtocolError::badRequest("Catalog playlists and albums are found through search, not listed."))
        << when;
    EXPECT_EQ(
        errorOf(ask(*guest, Command{Command::ListTracks{ref(Source::custom, "c1")}}, "saved")),
        ProtocolError::badRequest("Saved playlists are no longer kept on the host. Update Kovali on your iPhone."))
        << when;
  }
  // Still unavailable: what needs the music says so.
  const ProtocolError unavailable = ProtocolError::musicUnavailable("The music library is not available on the host.");
  EXPECT_EQ(errorOf(ask(*dj, Command{Command::ListPlaylists{Source::library}}, "library")), unavailable);
  EXPECT_EQ(errorOf(ask(*guest, Command{Command::Search{"x", 25, Command::SearchKind::songs}}, "search")), unavailable);
  EXPECT_EQ(errorOf(ask(*guest, Command{Command::ListTracks{ref(Source::album, "al1")}}, "album")), unavailable);
}

TEST_F(SessionStoreMusicTest, AGuestsAddIsNotGatedOnAvailability) {
  ASSERT_TRUE(ask(*guest, Command{Command::Search{"title", 1, Command::SearchKind::songs}}, "find"));
  music.setAvailability(MusicService::Denied{MusicAuthorizationStatus::denied});

  const auto cached = ask(*guest, Command{Command::Add{"s1"}}, "cached");
  ASSERT_TRUE(cached);
  EXPECT_TRUE(std::get_if<SessionState>(&cached->body.payload));

  catalog.songs.clear();
  const auto unknown = ask(*guest, Command{Command::Add{"s9"}}, "unknown");
  EXPECT_EQ(errorOf(unknown), ProtocolError::notFound("Song s9 was not found."));
  EXPECT_EQ(store().state().queue.size(), 1u);
}

TEST_F(SessionStoreMusicTest, ApprovingAnUnknownRequestGivesTheReducersError) {
  const auto reply = ask(*dj, Command{Command::ApproveRequest{"no-such-request", vinaro::QueuePosition::end}}, "ok");
  const auto error = errorOf(reply);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, Code::notFound);
}

TEST_F(SessionStoreMusicTest, ApprovingACollectionRequestQueuesItsSongs) {
  catalog.albums = {
      {Album{"al1", "Blue", "Band", std::nullopt, 2}, std::vector<MusicTrackEntry>{song("s1"), song("s2")}}};
  ASSERT_TRUE(store().dispatch(vinaro::action::SetMode{vinaro::PartyMode::suggestion}, vinaro::Actor::host()));
  ASSERT_TRUE(ask(*guest, Command{Command::SuggestCollection{ref(Source::album, "al1", "Blue")}}, "suggest"));
  const std::string requestID = store().state().requests.at(0).id;

  const auto reply = ask(*dj, Command{Command::ApproveRequest{requestID, vinaro::QueuePosition::end}}, "approve");

  ASSERT_TRUE(reply);
  const auto* state = std::get_if<SessionState>(&reply->body.payload);
  ASSERT_TRUE(state) << reply->body.type();
  ASSERT_EQ(state->queue.size(), 2u);
  EXPECT_EQ(state->queue[1].track.id, "s2");
  EXPECT_TRUE(store().songCache().contains("s2")) << "the collection's songs are cached for playing";
}

TEST_F(SessionStoreMusicTest, LoadingAPlaylistWithoutSongsQueuesNothing) {
  catalog.library = {{Playlist{"lib1", "Empty Evening", std::nullopt, std::nullopt}, std::vector<MusicTrackEntry>{}}};
  const auto reply =
      ask(*dj, Command{Command::LoadPlaylist{ref(Source::library, "lib1", "Empty Evening"), false}}, "load");
  EXPECT_EQ(errorOf(reply), ProtocolError::notFound("Empty Evening has no playable songs."));
  EXPECT_TRUE(store().state().queue.empty());
}

TEST_F(SessionStoreMusicTest, LoadingALibraryPlaylistQueuesItAndNamesItAsTheSource) {
  const PlaylistRef mix = ref(Source::library, "lib1", "Mix");
  catalog.library = {{Playlist{"lib1", "Mix", std::nullopt, std::nullopt}, std::vector<MusicTrackEntry>{song("s3")}}};

  const auto listed = ask(*dj, Command{Command::ListPlaylists{Source::library}}, "list");
  ASSERT_TRUE(listed);
  EXPECT_EQ(std::get<std::vector<PlaylistRef>>(listed->body.payload), std::vector<PlaylistRef>{mix});

  const auto loaded = ask(*dj, Command{Command::LoadPlaylist{mix, true}}, "load");
  ASSERT_TRUE(loaded);
  const auto* state = std::get_if<SessionState>(&loaded->body.payload);
  ASSERT_TRUE(state) << loaded->body.type();
  EXPECT_EQ(state->source, mix);
  ASSERT_EQ(state->queue.size(), 1u);
  EXPECT_EQ(state->queue[0].addedBy.id, store().participantID("device-dj"));
}

TEST_F(SessionStoreMusicTest, AGuestWhoLeavesDuringTheLookupStillAddsTheSong) {
  catalog.delay = 1;
  const int waiting = scheduler.pendingCount();
  guest->sendCommand("add", Command{Command::Add{"s3"}});
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        runPostedEvents();
        return scheduler.pendingCount() > waiting;  // the lookup has begun
      },
      GuestClient::timeoutMs));
  guest.reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return store().participants().size() == 1; }, GuestClient::timeoutMs));

  advance(1);

  ASSERT_EQ(store().state().queue.size(), 1u);
  EXPECT_EQ(store().state().queue[0].addedBy,
            (vinaro::Participant{store().participantID("device-ana"), "Ana", vinaro::Role::guest}));
}

TEST_F(SessionStoreMusicTest, TogglingPlaysOrPausesAndNamesTheOutputsThatFollowLater) {
  store().add(song("s1"));
  ASSERT_EQ(store().state().queue.size(), 1u);

  store().togglePlayback();
  EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::playing);
  EXPECT_EQ(store().transportNotice(), std::nullopt) << "no output is delayed";

  ASSERT_TRUE(store().dispatch(vinaro::action::SetDelayedOutputs{{"AirPlay"}}, vinaro::Actor::host()));
  store().togglePlayback();
  EXPECT_EQ(store().state().playback.status, vinaro::PlaybackStatus::paused);
  EXPECT_EQ(store().transportNotice(), "AirPlay speakers follow a few seconds later.");
  EXPECT_EQ(store().lastHostError(), std::nullopt);
}

TEST_F(SessionStoreMusicTest, AHostActionKeepsItsRefusalUntilTheNextSuccess) {
  store().add(song("s1"));
  ASSERT_TRUE(store().dispatch(vinaro::action::SetInput{vinaro::LiveInput{"mic", "Mic", false}}, vinaro::Actor::host()));

  store().performHostAction(vinaro::action::Skip{});
  ASSERT_TRUE(store().lastHostError().has_value()) << "skipping while a live input is the source is refused";
  EXPECT_EQ(store().lastHostError()->code, vinaro::ProtocolError::Code::badRequest);

  store().performHostAction(vinaro::action::SetInput{std::nullopt});
  EXPECT_EQ(store().lastHostError(), std::nullopt);
}

}  // namespace
}  // namespace kovali
