#include <map>

#include "session/store/session_store_fixture.h"
#include "support/sample_values.h"

namespace kovali {
namespace {

using HEOSStatus = HEOSController::Status;
using MultiRoomStatus = MultiRoomAudio::Status;

class SessionStoreStatusRecordTest : public SessionStoreTest {
 protected:
  void SetUp() override {
    makeStore();
    startHosting();
  }

  /// The TXT record as the network sees it now.
  std::map<std::string, std::string> txt() const {
    std::map<std::string, std::string> record;
    if (const auto& published = advertiser->published()) {
      for (const auto& [key, value] : published->txt) record[key] = value;
    }
    return record;
  }

  std::string entry(const std::string& key) const {
    const auto record = txt();
    const auto found = record.find(key);
    return found != record.end() ? found->second : "<missing>";
  }
};

TEST_F(SessionStoreStatusRecordTest, AFreshPartyPublishesNineEntriesBesideTheSessionAndVersion) {
  EXPECT_EQ(txt(), (std::map<std::string, std::string>{
                       {"session", store().state().sessionID},
                       {"v", "1"},
                       {"mode", "collaboration"},
                       {"guests", "0"},
                       {"playing", "0"},
                       {"multiroom", "off"},
                       {"audio", "0"},
                       {"route", "?"},
                       {"latency", "0.0"},
                       {"heos", "off"},
                       {"playerr", ""},
                   }));
}

TEST_F(SessionStoreStatusRecordTest, EveryChangeThatPhonesSeeIsRepublished) {
  auto phone = join("Ana", "device-ana");
  EXPECT_EQ(entry("guests"), "1");

  ASSERT_TRUE(store().dispatch(vinaro::action::SetMode{vinaro::PartyMode::suggestion}, vinaro::Actor::host()));
  EXPECT_EQ(entry("mode"), "suggestion");

  store().add(song("t1"));
  store().togglePlayback();
  EXPECT_EQ(entry("playing"), "1");
}

TEST_F(SessionStoreStatusRecordTest, MultiRoomEntriesAndALongFailureCutTo120Characters) {
  // Characters, not bytes: ten two-byte letters count as ten.
  std::string accented;
  for (int i = 0; i < 10; ++i) accented += "\u00E9";
  const std::string failure = accented + std::string(190, 'x');
  struct Case {
    const char* name;
    MultiRoomStatus status;
    std::string expected;
  } cases[] = {
      {"starting", MultiRoomStatus::starting(), "starting"},
      {"on", MultiRoomStatus::on(), "on"},
      {"failed", MultiRoomStatus::failed(failure), "failed:" + accented + std::string(110, 'x')},
      {"off", MultiRoomStatus::off(), "off"},
  };
  for (const auto& c : cases) {
    multiRoom->setStatus(c.status);  // the change reaches the store through `changed`
    EXPECT_EQ(entry("multiroom"), c.expected) << c.name;
  }
}

TEST_F(SessionStoreStatusRecordTest, RouteAudioAndLatencyComeFromTheMultiRoomPlayer) {
  struct Case {
    MultiRoomAudio::Route route;
    bool mirroring;
    bool receiving;
    double latency;
    const char* expectedRoute;
    const char* expectedLatency;
  } cases[] = {
      {MultiRoomAudio::Route::mac, false, false, 0.04, "mac", "0.0"},
      {MultiRoomAudio::Route::speakers, false, true, 1.96, "speakers", "2.0"},
      {MultiRoomAudio::Route::speakers, true, true, 2.25, "speakers+mac", "2.2"},
  };
  for (const auto& c : cases) {
    multiRoom->setPlayerRoute(c.route);
    multiRoom->setIsMirroring(c.mirroring);
    multiRoom->setIsReceivingAudio(c.receiving);
    multiRoom->setOutputLatency(c.latency);
    store().audioSettingsChanged();
    EXPECT_EQ(entry("route"), c.expectedRoute) << c.expectedRoute;
    EXPECT_EQ(entry("audio"), c.receiving ? "1" : "0") << c.expectedRoute;
    EXPECT_EQ(entry("latency"), c.expectedLatency) << c.latency;
    EXPECT_EQ(player.outputLatency(), c.latency) << "the player hears of the speakers' lag";
  }
}

TEST_F(SessionStoreStatusRecordTest, TheHEOSEntryNamesEachStatus) {
  struct Case {
    HEOSStatus status;
    bool playingParty;
    const char* expected;
  } cases[] = {
      {HEOSStatus::connected("10.0.0.9"), true, "party"},
      {HEOSStatus::connected("10.0.0.9"), false, "connected"},
      {HEOSStatus::failed("No."), false, "failed"},
      {HEOSStatus::searching(), false, "searching"},
      {HEOSStatus::connecting(), false, "connecting"},
      {HEOSStatus::notFound(), false, "notfound"},
      {HEOSStatus::off(), false, "off"},
  };
  for (const auto& c : cases) {
    heos->setStatus(c.status);
    heos->playingParty = c.playingParty;
    emit heos->changed();
    EXPECT_EQ(entry("heos"), c.expected) << c.expected;
  }
}

TEST_F(SessionStoreStatusRecordTest, APlayerErrorIsPublishedCutTo180CharactersUntilPlayingClearsIt) {
  const std::string message(200, 'x');
  emit player.eventReported(PlayerEngine::Failed{message});
  EXPECT_EQ(entry("playerr"), std::string(180, 'x'));
  EXPECT_EQ(store().playbackError(), message);

  emit player.eventReported(PlayerEngine::StatusChanged{vinaro::PlaybackStatus::playing});
  EXPECT_EQ(entry("playerr"), "");
  EXPECT_EQ(store().playbackError(), std::nullopt);
}

}  // namespace
}  // namespace kovali
