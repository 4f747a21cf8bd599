#include <QUuid>
#include <algorithm>
#include <functional>

#include "session/store/session_store_fixture.h"

namespace kovali {
namespace {

using vinaro::AudioCommand;
using vinaro::HostAudioState;
using Transport = AudioOutput::Device::Transport;

class SessionStoreAudioTest : public SessionStoreTest {
 protected:
  void SetUp() override {
    setPIN("2468");
    makeStore();
    startHosting();
    dj = join("Dee", "device-dj");
    dj->sendCommand("pin", Command{Command::AuthenticateDJ{"2468"}});
    ASSERT_TRUE(dj->waitForMessages(4));
    dj->received.clear();
  }

  /// Sends an audio command from the DJ's phone and waits for its answer.
  void send(const AudioCommand::Value& action, const std::string& id) {
    sendAudio(*dj, action, id);
  }

  /// The host audio messages `phone` got: the answers (with the id they answer) and the pushes.
  static std::vector<std::string> audioMessages(const GuestClient& phone) {
    std::vector<std::string> seen;
    for (std::size_t i = 0; i < phone.received.size(); ++i) {
      const auto event = phone.event(i);
      if (event && event->body.type() == "hostAudio") seen.push_back(event->replyTo.value_or("push"));
    }
    return seen;
  }

  bool logged(const std::string& text) const {
    return std::ranges::any_of(player.log(), [&](const auto& line) { return line.text == text; });
  }
  int loggedStartingWith(const std::string& prefix) const {
    return static_cast<int>(
        std::ranges::count_if(player.log(), [&](const auto& line) { return line.text.starts_with(prefix); }));
  }

  std::unique_ptr<GuestClient> dj;
};

TEST_F(SessionStoreAudioTest, TwoCommandsInQuickSuccessionGetTwoAnswersAndOnePush) {
  auto guest = join("Ana", "device-ana");
  send(AudioCommand::Refresh{}, "a1");
  advance(0.1);
  send(AudioCommand::HEOSSearch{}, "a2");
  advance(0.1);
  sync(*dj);
  EXPECT_EQ(audioMessages(*dj), (std::vector<std::string>{"a1", "a2"})) << "no push 0.1 s after the second";

  advance(0.05);
  sync(*dj);
  sync(*guest);
  EXPECT_EQ(audioMessages(*dj), (std::vector<std::string>{"a1", "a2", "push"}));
  EXPECT_TRUE(audioMessages(*guest).empty()) << "guests never get the sound";
  EXPECT_TRUE(logged("phone audio: refresh"));
  EXPECT_TRUE(logged("phone audio: heosSearch"));
}

TEST_F(SessionStoreAudioTest, WithoutADJConnectedThePushBuildsNothing) {
  dj.reset();
  ASSERT_TRUE(QTest::qWaitFor([&] { return store().participants().empty(); }, GuestClient::timeoutMs));
  auto guest = join("Ana", "device-ana");
  multiRoom->supportedAsked = 0;

  emit inputs->changed();  // an input came or went
  advance(0.15);

  EXPECT_EQ(multiRoom->supportedAsked, 0) << "a snapshot was built";
  sync(*guest);
  EXPECT_TRUE(audioMessages(*guest).empty());
}

TEST_F(SessionStoreAudioTest, AChangeIsPushedOnceAndARetryThatChangesNothingNotAtAll) {
  const auto pushAfter = [&](const std::function<void()>& change) {
    change();
    advance(0.15);
    sync(*dj);
  };
  pushAfter([&] { emit inputs->changed(); });
  EXPECT_EQ(audioMessages(*dj), (std::vector<std::string>{"push"}));

  // A sound server still out of reach retries every second and finds what it found before.
  pushAfter([&] { emit inputs->changed(); });
  pushAfter([&] { emit output->changed(); });
  EXPECT_EQ(audioMessages(*dj), (std::vector<std::string>{"push"}));

  pushAfter([&] {
    inputs->setDevices({{"usb-1", "Line In", Transport::usb}});
    emit inputs->changed();
  });
  EXPECT_EQ(audioMessages(*dj), (std::vector<std::string>{"push", "push"}));
  const auto state = payloadAt<HostAudioState>(*dj, 1);
  ASSERT_TRUE(state);
  ASSERT_TRUE(state->sources);
  EXPECT_EQ(state->sources->size(), 1u);
}

TEST_F(SessionStoreAudioTest, AfterItsOwnCommandAPhoneIsPushedTheSoundAlsoWhenItEqualsTheOnePushedBefore) {
  emit inputs->changed();
  advance(0.15);
  sync(*dj);
  ASSERT_EQ(audioMessages(*dj), (std::vector<std::string>{"push"}));

  send(AudioCommand::SetMacVolume{40}, "quieter");  // answered with the sound at 40
  multiRoom->setMacVolume(100);                     // and the host's screen sets it back
  advance(0.15);
  sync(*dj);
  EXPECT_EQ(audioMessages(*dj), (std::vector<std::string>{"push", "quieter", "push"}))
      << "the phone holds the answer's sound, not the first push's";
  std::optional<HostAudioState> pushed;
  for (std::size_t i = 0; i < dj->received.size(); ++i) {
    if (auto state = payloadAt<HostAudioState>(*dj, i)) pushed = std::move(state);
  }
  ASSERT_TRUE(pushed);
  EXPECT_EQ(pushed->multiRoom.macVolume, 100);
}

TEST_F(SessionStoreAudioTest, TheAnswerShowsTheHostsSound) {
  output->setDevices({{7, "Speakers", Transport::builtIn}, {12, "Living Room", Transport::airPlay}});
  output->setDefaultDeviceID(12);
  inputs->setDevices({{"usb-1", "Line In", Transport::usb}});
  heos->setPlayers({{3, "Kitchen"}, {5, "Den"}});
  auto configuration = heos->configuration();
  configuration.zones = std::vector<std::int64_t>{5};
  configuration.sourceID = 7;
  configuration.inputMid = "line1";
  configuration.inputName = "Line In";
  heos->setConfiguration(configuration);
  heos->setStatus(HEOSController::Status::connecting());

  send(AudioCommand::Refresh{}, "show");

  const auto state = payloadAt<HostAudioState>(*dj, 0);
  ASSERT_TRUE(state);
  EXPECT_EQ(state->outputs, (std::vector<HostAudioState::Output>{{"7", "Speakers", "Built-in", false},
                                                                 {"12", "Living Room", "AirPlay", true}}));
  EXPECT_EQ(state->multiRoom.status, "off");
  EXPECT_TRUE(state->multiRoom.isSupported);
  EXPECT_EQ(state->multiRoom.macVolume, 100);
  EXPECT_EQ(state->heos.status, "connecting");
  EXPECT_EQ(state->heos.title, "Connecting to HEOS\u2026");
  EXPECT_EQ(state->heos.zones, (std::vector<HostAudioState::HEOS::Zone>{{3, "Kitchen", false, std::nullopt},
                                                                        {5, "Den", true, std::nullopt}}));
  EXPECT_EQ(state->heos.inputID, "7|line1");
  EXPECT_EQ(state->sources, (std::vector<HostAudioState::Source>{{"usb-1", "Line In", "USB"}}));
}

TEST_F(SessionStoreAudioTest, ActionsReachTheirServicesWithTheirValuesAsTheRulesSay) {
  output->setDevices({{7, "Speakers", Transport::builtIn}});
  send(AudioCommand::SetOutput{"07"}, "leading zero");
  send(AudioCommand::SetOutput{"7"}, "output");
  EXPECT_EQ(output->calls, (std::vector<std::string>{"refresh", "startListening", "select 7"}));

  send(AudioCommand::SetMacVolume{150}, "loud");
  send(AudioCommand::SetMacVolume{-5}, "quiet");
  send(AudioCommand::SetMacVolume{0}, "same");
  send(AudioCommand::SetSpeakerVolume{"sp1", 140}, "speaker");
  send(AudioCommand::SetPlaysOnMac{true}, "plays");
  const std::vector<std::string> expected = {"setMacVolume 100", "setMacVolume 0", "setMacVolume 0",
                                             "setSpeakerVolume sp1 140", "setPlaysOnMac true"};
  std::vector<std::string> calls;
  std::ranges::copy_if(multiRoom->calls, std::back_inserter(calls),
                       [](const std::string& call) { return !call.starts_with("setInput"); });
  EXPECT_EQ(calls, expected);
  EXPECT_EQ(multiRoom->macVolume(), 0);

  send(AudioCommand::HEOSSetZone{5, true}, "zone");
  send(AudioCommand::HEOSSetZoneVolume{5, 30}, "zone volume");
  send(AudioCommand::HEOSSetVolume{40}, "volume");
  send(AudioCommand::HEOSSelectInput{"7|line1"}, "input");
  send(AudioCommand::HEOSPlay{}, "play");
  send(AudioCommand::HEOSSavePreset{"Dinner"}, "save");
  send(AudioCommand::HEOSSetStartWithParty{true}, "follow");
  EXPECT_EQ(heos->calls,
            (std::vector<std::string>{"setZone 5 in", "setZoneVolume 5 30", "setVolume 40", "selectInput 7|line1",
                                      "requestPlay", "savePreset Dinner", "setStartWithParty true"}));
}

TEST_F(SessionStoreAudioTest, PresetIDsAreComparedAsTextToApplyButParsedToDelete) {
  HEOSController::Preset dinner;
  dinner.id = QUuid::fromString(QStringLiteral("0b5e8a02-9a1c-4d6b-8f4e-2a1f3c5d7e90"));
  dinner.name = "Dinner";
  heos->setPresets({dinner});
  const std::string lower = "0b5e8a02-9a1c-4d6b-8f4e-2a1f3c5d7e90";

  send(AudioCommand::HEOSApplyPreset{lower}, "apply lower");
  send(AudioCommand::HEOSApplyPreset{dinner.idText()}, "apply upper");
  send(AudioCommand::HEOSDeletePreset{"{" + lower + "}"}, "delete braces");
  send(AudioCommand::HEOSDeletePreset{"not a uuid"}, "delete junk");
  send(AudioCommand::HEOSDeletePreset{lower}, "delete lower");

  EXPECT_EQ(heos->calls, (std::vector<std::string>{"applyPreset Dinner", "deletePreset " + lower}));
}

TEST_F(SessionStoreAudioTest, RefreshSearchesForHEOSOnlyWhenItFollowsThePartyAndIsOff) {
  struct Case {
    bool follows;
    HEOSController::Status status;
    bool searches;
  } cases[] = {
      {true, HEOSController::Status::off(), true},
      {false, HEOSController::Status::off(), false},
      {true, HEOSController::Status::failed("No."), false},
  };
  for (const auto& c : cases) {
    heos->calls.clear();
    heos->followParty(c.follows);
    heos->setStatus(c.status);
    send(AudioCommand::Refresh{}, "refresh");
    EXPECT_EQ(heos->calls.size(), c.searches ? 1u : 0u) << "follows " << c.follows << ", " << c.status.text;
  }
}

TEST_F(SessionStoreAudioTest, StoppingHEOSStopsTheLeaderOnlyWhenThereIsOne) {
  send(AudioCommand::HEOSStop{}, "no zone");
  EXPECT_TRUE(heos->calls.empty());

  auto configuration = heos->configuration();
  configuration.zones = std::vector<std::int64_t>{5, 3};
  heos->setConfiguration(configuration);
  send(AudioCommand::HEOSStop{}, "stop");
  EXPECT_EQ(heos->calls, (std::vector<std::string>{"stop 5"}));
}

TEST_F(SessionStoreAudioTest, ChoosingASourceSwitchesThePartyToTheInputAndBack) {
  inputs->setDevices({{"usb-1", "Line In", Transport::usb}});

  send(AudioCommand::SetSource{std::string("usb-1")}, "line in");
  runPostedEvents();
  ASSERT_TRUE(store().state().input);
  EXPECT_EQ(*store().state().input, (vinaro::LiveInput{"usb-1", "Line In", false}));
  EXPECT_TRUE(logged("source: Line In"));
  EXPECT_EQ(inputs->requestedID(), "usb-1") << "the capture player plays it";

  // The same input again only brings the players in line.
  const auto revision = store().state().revision;
  send(AudioCommand::SetSource{std::string("usb-1")}, "again");
  runPostedEvents();
  EXPECT_EQ(store().state().revision, revision);
  EXPECT_EQ(loggedStartingWith("source: "), 1);

  send(AudioCommand::SetSource{std::nullopt}, "music");
  runPostedEvents();
  EXPECT_EQ(store().state().input, std::nullopt);
  EXPECT_TRUE(logged("source: the music library"));
  EXPECT_EQ(inputs->requestedID(), std::nullopt);

  send(AudioCommand::SetSource{std::nullopt}, "music again");
  runPostedEvents();
  EXPECT_EQ(loggedStartingWith("source: "), 2);
}

TEST_F(SessionStoreAudioTest, ARefusedMicrophoneOrAMissingInputChangesNothing) {
  inputs->setDevices({{"usb-1", "Line In", Transport::usb}});
  inputs->microphoneAllowed = false;
  send(AudioCommand::SetSource{std::string("usb-1")}, "refused");
  send(AudioCommand::SetSource{std::string("gone")}, "missing");
  runPostedEvents();
  EXPECT_EQ(store().state().input, std::nullopt);
  EXPECT_EQ(loggedStartingWith("source: "), 0);
}

TEST_F(SessionStoreAudioTest, MultiRoomTakesTheLiveInputOverFromTheCapturePlayerAndHandsItBack) {
  inputs->setDevices({{"usb-1", "Line In", Transport::usb}});
  send(AudioCommand::SetSource{std::string("usb-1")}, "line in");
  runPostedEvents();
  ASSERT_EQ(inputs->requestedID(), "usb-1");

  send(AudioCommand::SetMultiRoom{true}, "on");
  runPostedEvents();
  EXPECT_EQ(inputs->requestedID(), std::nullopt) << "the capture player stopped";
  EXPECT_EQ(multiRoom->inputID(), "usb-1");
  EXPECT_EQ(store().state().delayedOutputs, std::vector<std::string>{"AirPlay"});

  send(AudioCommand::SetMultiRoom{false}, "off");
  runPostedEvents();
  EXPECT_EQ(multiRoom->inputID(), std::nullopt);
  EXPECT_EQ(inputs->requestedID(), "usb-1") << "the capture player plays it again";
}

TEST_F(SessionStoreAudioTest, ANewDefaultOutputRestartsThePlayingLiveInput) {
  inputs->setDevices({{"usb-1", "Line In", Transport::usb}});
  send(AudioCommand::SetSource{std::string("usb-1")}, "line in");
  runPostedEvents();
  inputs->setPlayingID("usb-1");
  inputs->calls.clear();

  output->changeDefault(9);
  runPostedEvents();

  EXPECT_EQ(store().lastDefaultOutput(), 9u);
  EXPECT_EQ(inputs->calls, (std::vector<std::string>{"select usb-1"}));
}

}  // namespace
}  // namespace kovali
