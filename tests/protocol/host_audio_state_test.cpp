#include "protocol/host_audio_state.h"

#include <gtest/gtest.h>

namespace vinaro {
namespace {

using State = HostAudioState;

State fullState() {
  return State{
      .outputs = {{.id = "73", .name = "Speakers", .transport = "Built-in", .isDefault = true},
                  {.id = "81", .name = "TV", .transport = "HDMI / DisplayPort", .isDefault = false}},
      .multiRoom = {.isSupported = true,
                    .status = "on",
                    .detail = "Playing on 2 speakers.",
                    .playsOnMac = true,
                    .isError = false,
                    .speakers = std::vector<State::MultiRoom::Speaker>{{"AP-1", "Kitchen", 40}, {"AP-2", "Patio", std::nullopt}},
                    .macVolume = 70},
      .heos = {.status = "party",
               .title = "HEOS",
               .detail = "2 zones",
               .zones = {{.id = -1234567, .name = "Living", .isIncluded = true, .volume = 25},
                         {.id = 89, .name = "Den", .isIncluded = false, .volume = std::nullopt}},
               .inputs = {{"1027|inputs/aux_in_1", "AUX"}},
               .inputID = "1027|inputs/aux_in_1",
               .volume = 33,
               .isPlayingParty = true,
               .isApplying = false,
               .stateText = "Playing",
               .stateIsError = false,
               .startWithParty = true,
               .presets = std::vector<State::HEOS::Preset>{{"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0", "Evening", "Living, Den"}}},
      .sources = std::vector<State::Source>{{"alsa_input.usb", "USB Mic", "USB"}},
      .sourceError = "The input is busy.",
  };
}

TEST(HostAudioState, RoundTripsAFullState) {
  const State state = fullState();
  const std::string json = wire::encode(state);
  EXPECT_EQ(wire::decode<State>(json), state) << json;
  EXPECT_EQ(std::hash<State>{}(wire::decode<State>(json)), std::hash<State>{}(state));
}

TEST(HostAudioState, WritesEveryKeySortedAndLeavesAbsentOptionalsOut) {
  State state = fullState();
  state.outputs.resize(1);
  state.multiRoom = {.isSupported = false, .status = "off", .detail = "", .playsOnMac = false};
  state.heos = {.status = "off", .title = "HEOS", .stateText = ""};
  state.sources.reset();
  state.sourceError.reset();
  EXPECT_EQ(wire::encode(state),
            R"({"heos":{"inputs":[],"isApplying":false,"isPlayingParty":false,"startWithParty":false,)"
            R"("stateIsError":false,"stateText":"","status":"off","title":"HEOS","volume":0,"zones":[]},)"
            R"("multiRoom":{"detail":"","isSupported":false,"playsOnMac":false,"status":"off"},)"
            R"("outputs":[{"id":"73","isDefault":true,"name":"Speakers","transport":"Built-in"}]})");
  EXPECT_EQ(wire::encode(fullState().multiRoom.speakers),
            R"([{"id":"AP-1","name":"Kitchen","volume":40},{"id":"AP-2","name":"Patio"}])");
  EXPECT_EQ(wire::encode(fullState().heos.zones[0]), R"({"id":-1234567,"isIncluded":true,"name":"Living","volume":25})");
}

TEST(HostAudioState, ReadsOptionalsAsAbsentAndRequiresTheRest) {
  const std::string multiRoom = R"({"isSupported":true,"status":"on","detail":"","playsOnMac":false})";
  const std::string heos = R"({"status":"off","title":"t","zones":[],"inputs":[],"volume":0,"isPlayingParty":false,)"
                           R"("isApplying":false,"stateText":"","stateIsError":false,"startWithParty":false})";
  const auto minimal = wire::decode<State>(R"({"outputs":[],"multiRoom":)" + multiRoom + R"(,"heos":)" + heos +
                                           R"(,"sources":null,"extra":1})");
  EXPECT_EQ(minimal.sources, std::nullopt);
  EXPECT_EQ(minimal.sourceError, std::nullopt);
  EXPECT_EQ(minimal.multiRoom.isError, std::nullopt);
  EXPECT_EQ(minimal.multiRoom.speakers, std::nullopt);
  EXPECT_EQ(minimal.multiRoom.macVolume, std::nullopt);
  EXPECT_EQ(minimal.heos.presets, std::nullopt);

  struct Case {
    const char* name;
    std::string json;
  } failures[] = {
      {"no heos", R"({"outputs":[],"multiRoom":)" + multiRoom + "}"},
      {"no outputs", R"({"multiRoom":)" + multiRoom + R"(,"heos":)" + heos + "}"},
      {"output without isDefault",
       R"({"outputs":[{"id":"1","name":"n","transport":"USB"}],"multiRoom":)" + multiRoom + R"(,"heos":)" + heos + "}"},
      {"output id as a number",
       R"({"outputs":[{"id":1,"name":"n","transport":"USB","isDefault":false}],"multiRoom":)" + multiRoom +
           R"(,"heos":)" + heos + "}"},
      {"speaker volume as a string",
       R"({"outputs":[],"multiRoom":{"isSupported":true,"status":"on","detail":"","playsOnMac":false,)"
       R"("speakers":[{"id":"a","name":"b","volume":"5"}]},"heos":)" + heos + "}"},
      {"zone id as a string",
       R"({"outputs":[],"multiRoom":)" + multiRoom +
           R"(,"heos":{"status":"off","title":"t","zones":[{"id":"1","name":"z","isIncluded":true}],"inputs":[],)"
           R"("volume":0,"isPlayingParty":false,"isApplying":false,"stateText":"","stateIsError":false,"startWithParty":false}})"},
      {"sources not a list", R"({"outputs":[],"multiRoom":)" + multiRoom + R"(,"heos":)" + heos + R"(,"sources":{}})"},
  };
  for (const auto& c : failures) EXPECT_THROW(wire::decode<State>(c.json), wire::DecodeError) << c.name;
}

TEST(HostAudioState, MultiRoomShowsItsDetailOnlyForAProblem) {
  struct Case {
    const char* name;
    bool isSupported;
    const char* status;
    std::optional<bool> isError;
    bool shown;
  } cases[] = {
      {"failed without flag", true, "failed", std::nullopt, true},
      {"failed but flagged fine", true, "failed", false, false},
      {"on and flagged as error", true, "on", true, true},
      {"on without flag", true, "on", std::nullopt, false},
      {"unsupported and fine", false, "off", false, true},
      {"unsupported without flag", false, "on", std::nullopt, true},
  };
  for (const auto& c : cases) {
    const State::MultiRoom room{.isSupported = c.isSupported, .status = c.status, .detail = "Why.", .isError = c.isError};
    EXPECT_EQ(room.visibleDetail(), c.shown ? std::optional<std::string>("Why.") : std::nullopt) << c.name;
  }
}

TEST(HostAudioState, DerivesActivityFromExactStatusWords) {
  const auto room = [](const char* status) { return State::MultiRoom{.status = status}; };
  EXPECT_TRUE(room("on").isActive());
  EXPECT_TRUE(room("starting").isActive());
  EXPECT_FALSE(room("On").isActive());
  EXPECT_FALSE(room("failed").isActive());
  EXPECT_FALSE(room("off").isActive());

  const auto heos = [](const char* status) { return State::HEOS{.status = status}; };
  EXPECT_TRUE(heos("connected").isConnected());
  EXPECT_TRUE(heos("party").isConnected());
  EXPECT_FALSE(heos("connecting").isConnected());
  EXPECT_TRUE(heos("searching").isBusy());
  EXPECT_TRUE(heos("connecting").isBusy());
  EXPECT_FALSE(heos("notfound").isBusy());
  EXPECT_FALSE(heos("Searching").isBusy());
}

}  // namespace
}  // namespace vinaro
