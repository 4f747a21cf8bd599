#include <algorithm>

#include "session/store/session_store_fixture.h"
#include "support/sample_values.h"

namespace kovali {
namespace {

using vinaro::PlaybackStatus;
namespace action = vinaro::action;
namespace samples = vinaro::samples;

class SessionStoreTimedTest : public SessionStoreTest {
 protected:
  void SetUp() override {
    catalog.songs = {song("t1"), song("t2"), song("t3")};
    music.setAvailability(MusicService::Ready{});
    makeStore();
  }

  void dispatch(const vinaro::SessionAction& change, const vinaro::Actor& actor = vinaro::Actor::host()) {
    const auto result = store().dispatch(change, actor);
    ASSERT_TRUE(result) << result.error().message;
  }

  void suggest(const std::string& trackID, const vinaro::Participant& by = samples::ana) {
    dispatch(action::Add{MusicService::track(song(trackID))}, vinaro::Actor::participant(by));
  }

  void switchAutoPlayOn() {
    auto settings = store().state().settings;
    settings.autoPlaysTopRequest = true;
    dispatch(action::UpdateSettings{settings});
  }

  std::vector<std::string> autoPlayLines() const {
    std::vector<std::string> lines;
    for (const auto& line : player.log()) {
      if (line.text.starts_with("auto-play: ")) lines.push_back(line.text);
    }
    return lines;
  }

  std::vector<std::string> queuedTrackIDs() const {
    std::vector<std::string> ids;
    for (const auto& item : store().state().queue) ids.push_back(item.track.id);
    return ids;
  }
};

TEST_F(SessionStoreTimedTest, ResolvedRequestsArePrunedByAMinutelyLoopFromStart) {
  dispatch(action::SetMode{vinaro::PartyMode::suggestion});
  suggest("t1");
  dispatch(action::RejectRequest{store().state().requests.at(0).id});
  startHosting();
  const auto revision = store().state().revision;

  advance(59.9);
  EXPECT_EQ(store().state().revision, revision) << "nothing before the first minute";
  advance(0.1);
  EXPECT_EQ(store().state().revision, revision + 1) << "the first prune";
  EXPECT_EQ(store().state().requests.size(), 1u) << "rejected a minute ago: kept";

  advance(9 * 60);
  EXPECT_EQ(store().state().revision, revision + 10);
  EXPECT_TRUE(store().state().requests.empty()) << "rejected ten minutes ago: gone";
  EXPECT_EQ(store().lastHostError(), std::nullopt);
}

TEST_F(SessionStoreTimedTest, TheTransportNoticeStaysUntilFourSecondsAfterTheLastToggle) {
  store().add(song("t1"));
  dispatch(action::SetDelayedOutputs{{"AirPlay", "HEOS"}});

  store().togglePlayback();
  EXPECT_EQ(store().transportNotice(), "AirPlay and HEOS speakers follow a few seconds later.");
  advance(3);
  store().togglePlayback();
  advance(3.9);
  EXPECT_TRUE(store().transportNotice()) << "6.9 s after the first toggle, 3.9 s after the second";
  advance(0.1);
  EXPECT_EQ(store().transportNotice(), std::nullopt);
}

TEST_F(SessionStoreTimedTest, AutoPlayFillsTheEmptyQueueButStartsPlayingOnlyOnceTheHostHasPlayed) {
  dispatch(action::SetMode{vinaro::PartyMode::suggestion});
  switchAutoPlayOn();

  suggest("t1");
  runPostedEvents();
  EXPECT_EQ(queuedTrackIDs(), (std::vector<std::string>{"t1"}));
  EXPECT_EQ(store().state().playback.status, PlaybackStatus::stopped) << "the host has not played yet";
  EXPECT_EQ(autoPlayLines(),
            (std::vector<std::string>{"auto-play: added the top request \u201CTitle t1\u201D (1 vote)"}));

  dispatch(action::Play{});  // plays t1: the queue is empty again
  ASSERT_TRUE(store().hasPlayedSinceLaunch());
  dispatch(action::Pause{});
  dispatch(action::Skip{});  // nothing current any more
  ASSERT_EQ(store().state().playback.current, std::nullopt);

  // A request without votes this time: its votes are counted when auto-play takes it.
  auto settings = store().state().settings;
  settings.autoPlaysTopRequest = false;
  dispatch(action::UpdateSettings{settings});
  suggest("t2");
  dispatch(action::Vote{store().state().requests.front().id, false}, vinaro::Actor::participant(samples::ana));
  switchAutoPlayOn();
  runPostedEvents();
  ASSERT_TRUE(store().state().playback.current);
  EXPECT_EQ(store().state().playback.current->track.id, "t2");
  EXPECT_EQ(store().state().playback.status, PlaybackStatus::playing);
  EXPECT_EQ(autoPlayLines().back(), "auto-play: added the top request \u201CTitle t2\u201D (0 votes)");
}

TEST_F(SessionStoreTimedTest, ACollectionThatCannotBeLoadedIsLeftForTheDJAndTheNextRequestIsTried) {
  catalog.failOn("catalog album al1", MusicError{"The album is gone."});
  dispatch(action::SetMode{vinaro::PartyMode::suggestion});
  dispatch(action::Suggest{samples::album("al1", "Blue")}, vinaro::Actor::participant(samples::ben));
  dispatch(action::Vote{store().state().requests.front().id, true}, vinaro::Actor::participant(samples::ana));
  suggest("t3");  // one vote against the album's two
  switchAutoPlayOn();

  runPostedEvents();

  const std::string albumID = [&] {
    for (const auto& r : store().state().requests) {
      if (r.collection()) return r.id;
    }
    return std::string();
  }();
  EXPECT_EQ(store().autoPlaySkipped(), (SessionStore::RequestIDs{albumID}));
  EXPECT_EQ(queuedTrackIDs(), (std::vector<std::string>{"t3"}));
  EXPECT_EQ(autoPlayLines(),
            (std::vector<std::string>{"auto-play: couldn't load \u201CBlue\u201D, left for the DJ: The album is gone.",
                                      "auto-play: added the top request \u201CTitle t3\u201D (1 vote)"}));

  // Tried once: the queue running dry again does not bring the album back.
  dispatch(action::ClearQueue{});
  runPostedEvents();
  EXPECT_EQ(std::ranges::count_if(autoPlayLines(), [](const auto& l) { return l.find("couldn't load") != l.npos; }), 1);
}

TEST_F(SessionStoreTimedTest, ACollectionTheDJApprovesWhileItsSongsLoadIsLeftAlone) {
  catalog.albums = {{Album{"al1", "Blue", "Band", std::nullopt, 1}, std::vector<MusicTrackEntry>{song("t1")}}};
  catalog.delay = 1;
  dispatch(action::SetMode{vinaro::PartyMode::suggestion});
  dispatch(action::Suggest{samples::album("al1", "Blue")}, vinaro::Actor::participant(samples::ben));
  switchAutoPlayOn();
  runPostedEvents();  // auto-play is loading the album

  const std::string id = store().state().requests.front().id;
  dispatch(action::ApproveCollectionRequest{id, {samples::track("t9")}, vinaro::QueuePosition::end});
  advance(1);

  EXPECT_EQ(queuedTrackIDs(), (std::vector<std::string>{"t9"}));
  EXPECT_TRUE(autoPlayLines().empty());
  EXPECT_TRUE(store().autoPlaySkipped().empty());
}

TEST_F(SessionStoreTimedTest, DelayedOutputsFollowMultiRoomAndTheHEOSZonesThatFollowTheParty) {
  struct Case {
    const char* name;
    MultiRoomAudio::Status multiRoom;
    HEOSController::Status heos;
    bool followsParty;
    std::vector<std::string> expected;
  } cases[] = {
      {"nothing", MultiRoomAudio::Status::off(), HEOSController::Status::off(), true, {}},
      {"AirPlay", MultiRoomAudio::Status::on(), HEOSController::Status::off(), true, {"AirPlay"}},
      {"both", MultiRoomAudio::Status::on(), HEOSController::Status::connected("10.0.0.9"), true, {"AirPlay", "HEOS"}},
      {"HEOS not following",
       MultiRoomAudio::Status::starting(),
       HEOSController::Status::connected("10.0.0.9"),
       false,
       {}},
  };
  for (const auto& c : cases) {
    heos->followParty(c.followsParty);
    heos->setStatus(c.heos);
    multiRoom->setStatus(c.multiRoom);  // tells the store
    store().audioSettingsChanged();
    EXPECT_EQ(store().state().delayedOutputs.value_or(std::vector<std::string>{}), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace kovali
