#include "protocol/audio_command.h"

#include <gtest/gtest.h>

#include <set>

namespace vinaro {
namespace {

using A = AudioCommand;

std::string decodeError(std::string_view json) {
  try {
    wire::decode<AudioCommand>(json);
  } catch (const wire::DecodeError& error) {
    return error.description();
  }
  return "";
}

TEST(AudioCommand, EveryActionHasItsFlatWireFormAndRoundTrips) {
  struct Case {
    AudioCommand command;
    const char* json;
  } cases[] = {
      {{A::Refresh{}}, R"({"action":"refresh"})"},
      {{A::SetOutput{"73"}}, R"({"action":"setOutput","id":"73"})"},
      {{A::SetMultiRoom{true}}, R"({"action":"setMultiRoom","on":true})"},
      {{A::SetPlaysOnMac{false}}, R"({"action":"setPlaysOnMac","value":false})"},
      {{A::SetSpeakerVolume{"AP-1", 40}}, R"({"action":"setSpeakerVolume","id":"AP-1","level":40})"},
      {{A::SetMacVolume{55}}, R"({"action":"setMacVolume","level":55})"},
      {{A::HEOSSearch{}}, R"({"action":"heosSearch"})"},
      {{A::HEOSSelectInput{"1027|inputs/aux_in_1"}}, R"({"action":"heosSelectInput","id":"1027|inputs/aux_in_1"})"},
      {{A::HEOSSetZone{-1234567, true}}, R"({"action":"heosSetZone","id":-1234567,"included":true})"},
      {{A::HEOSSetZoneVolume{42, 17}}, R"({"action":"heosSetZoneVolume","id":42,"level":17})"},
      {{A::HEOSSetVolume{30}}, R"({"action":"heosSetVolume","level":30})"},
      {{A::HEOSPlay{}}, R"({"action":"heosPlay"})"},
      {{A::HEOSStop{}}, R"({"action":"heosStop"})"},
      {{A::HEOSSetStartWithParty{true}}, R"({"action":"heosSetStartWithParty","value":true})"},
      {{A::HEOSSavePreset{"Garden"}}, R"({"action":"heosSavePreset","name":"Garden"})"},
      {{A::HEOSApplyPreset{"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"}},
       R"({"action":"heosApplyPreset","id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"})"},
      {{A::HEOSDeletePreset{"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"}},
       R"({"action":"heosDeletePreset","id":"0F1E2D3C-4B5A-6978-8796-A5B4C3D2E1F0"})"},
      {{A::SetSource{"alsa_input.usb-mic"}}, R"({"action":"setSource","id":"alsa_input.usb-mic"})"},
      {{A::SetSource{std::nullopt}}, R"({"action":"setSource"})"},
  };
  std::set<std::size_t> covered;
  for (const auto& c : cases) {
    const auto action = std::string(c.command.action());
    EXPECT_EQ(wire::encode(c.command), c.json) << action;
    EXPECT_EQ(wire::decode<AudioCommand>(c.json), c.command) << action;
    EXPECT_EQ(wire::decode<AudioCommand>(wire::encode(c.command)), c.command) << action;
    EXPECT_NE(std::string(c.json).find("\"" + action + "\""), std::string::npos) << action;
    covered.insert(c.command.value.index());
  }
  EXPECT_EQ(covered.size(), std::variant_size_v<AudioCommand::Value>) << "an action lacks a case";
}

TEST(AudioCommand, ReadsTheSourceIdOnlyWhenPresent) {
  EXPECT_EQ(wire::decode<AudioCommand>(R"({"action":"setSource","id":null})"), AudioCommand{A::SetSource{}});
  EXPECT_EQ(wire::decode<AudioCommand>(R"({"action":"heosPlay","id":5,"level":"x"})"), AudioCommand{A::HEOSPlay{}});
}

TEST(AudioCommand, RefusesPayloadsOfTheWrongShape) {
  struct Case {
    const char* name;
    const char* json;
    const char* problem;  // the start of the description
  } cases[] = {
      {"zone id as a string", R"({"action":"heosSetZone","id":"5","included":true})", "Expected an integer"},
      {"zone volume id as a string", R"({"action":"heosSetZoneVolume","id":"5","level":1})", "Expected an integer"},
      {"output id as a number", R"({"action":"setOutput","id":73})", "Expected a string"},
      {"preset id as a number", R"({"action":"heosApplyPreset","id":1})", "Expected a string"},
      {"source id as a number", R"({"action":"setSource","id":1})", "Expected a string"},
      {"level missing", R"({"action":"setMacVolume"})", "The key is missing"},
      {"level null", R"({"action":"heosSetVolume","level":null})", "Expected a value but found null"},
      {"level with a fraction", R"({"action":"setMacVolume","level":2.5})", "The number 2.5 is not an integer"},
      {"on as a number", R"({"action":"setMultiRoom","on":1})", "Expected a boolean"},
      {"value as a string", R"({"action":"setPlaysOnMac","value":"true"})", "Expected a boolean"},
      {"action missing", R"({"id":"1"})", "The key is missing"},
      {"action as a number", R"({"action":3})", "Expected a string"},
      {"not an object", R"(["refresh"])", "Expected an object"},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(decodeError(c.json).starts_with(c.problem)) << c.name << ": " << decodeError(c.json);
  }
}

TEST(AudioCommand, RefusesAnUnknownActionNamingIt) {
  struct Case {
    const char* json;
    const char* description;
  } cases[] = {
      {R"({"action":"Refresh"})", R"(Unknown audio action 'Refresh' (at "action"))"},
      {R"({"action":"heossearch"})", R"(Unknown audio action 'heossearch' (at "action"))"},
      {R"({"action":"setOutput "})", R"(Unknown audio action 'setOutput ' (at "action"))"},
      {R"({"action":""})", R"(Unknown audio action '' (at "action"))"},
  };
  for (const auto& c : cases) EXPECT_EQ(decodeError(c.json), c.description) << c.json;
}

TEST(AudioCommand, EqualCommandsHashAlike) {
  const AudioCommand a{A::SetSpeakerVolume{"x", 3}};
  EXPECT_EQ(std::hash<AudioCommand>{}(a), std::hash<AudioCommand>{}(AudioCommand{A::SetSpeakerVolume{"x", 3}}));
  EXPECT_NE(a, (AudioCommand{A::SetSpeakerVolume{"x", 4}}));
  EXPECT_NE((AudioCommand{A::HEOSPlay{}}), (AudioCommand{A::HEOSStop{}}));
}

}  // namespace
}  // namespace vinaro
