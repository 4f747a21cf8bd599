#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "protocol/json_reader.h"
#include "protocol/json_writer.h"

namespace vinaro {

/// One remote-control request from a DJ's phone for the host's sound. On the wire a flat object:
/// "action" names the case, the payload's keys stand beside it.
struct AudioCommand {
  struct Refresh {
    static constexpr std::string_view action = "refresh";
    bool operator==(const Refresh&) const = default;
  };
  struct SetOutput {
    static constexpr std::string_view action = "setOutput";
    std::string id;
    bool operator==(const SetOutput&) const = default;
  };
  struct SetMultiRoom {
    static constexpr std::string_view action = "setMultiRoom";
    bool on = false;
    bool operator==(const SetMultiRoom&) const = default;
  };
  struct SetPlaysOnMac {
    static constexpr std::string_view action = "setPlaysOnMac";
    bool value = false;
    bool operator==(const SetPlaysOnMac&) const = default;
  };
  struct SetSpeakerVolume {
    static constexpr std::string_view action = "setSpeakerVolume";
    std::string id;
    std::int64_t level = 0;
    bool operator==(const SetSpeakerVolume&) const = default;
  };
  struct SetMacVolume {
    static constexpr std::string_view action = "setMacVolume";
    std::int64_t level = 0;
    bool operator==(const SetMacVolume&) const = default;
  };
  struct HeosSearch {
    static constexpr std::string_view action = "heosSearch";
    bool operator==(const HeosSearch&) const = default;
  };
  struct HeosSelectInput {
    static constexpr std::string_view action = "heosSelectInput";
    std::string id;
    bool operator==(const HeosSelectInput&) const = default;
  };
  struct HeosSetZone {
    static constexpr std::string_view action = "heosSetZone";
    std::int64_t id = 0;  // a HEOS player id: an integer on the wire, unlike the other ids
    bool included = false;
    bool operator==(const HeosSetZone&) const = default;
  };
  struct HeosSetZoneVolume {
    static constexpr std::string_view action = "heosSetZoneVolume";
    std::int64_t id = 0;
    std::int64_t level = 0;
    bool operator==(const HeosSetZoneVolume&) const = default;
  };
  struct HeosSetVolume {
    static constexpr std::string_view action = "heosSetVolume";
    std::int64_t level = 0;
    bool operator==(const HeosSetVolume&) const = default;
  };
  struct HeosPlay {
    static constexpr std::string_view action = "heosPlay";
    bool operator==(const HeosPlay&) const = default;
  };
  struct HeosStop {
    static constexpr std::string_view action = "heosStop";
    bool operator==(const HeosStop&) const = default;
  };
  struct HeosSetStartWithParty {
    static constexpr std::string_view action = "heosSetStartWithParty";
    bool value = false;
    bool operator==(const HeosSetStartWithParty&) const = default;
  };
  struct HeosSavePreset {
    static constexpr std::string_view action = "heosSavePreset";
    std::string name;
    bool operator==(const HeosSavePreset&) const = default;
  };
  struct HeosApplyPreset {
    static constexpr std::string_view action = "heosApplyPreset";
    std::string id;  // preset UUID text
    bool operator==(const HeosApplyPreset&) const = default;
  };
  struct HeosDeletePreset {
    static constexpr std::string_view action = "heosDeletePreset";
    std::string id;  // preset UUID text
    bool operator==(const HeosDeletePreset&) const = default;
  };
  struct SetSource {
    static constexpr std::string_view action = "setSource";
    std::optional<std::string> id;  // nothing means the music library
    bool operator==(const SetSource&) const = default;
  };

  /// The cases in their wire order; the index is also what the hash starts from.
  using Value = std::variant<Refresh, SetOutput, SetMultiRoom, SetPlaysOnMac, SetSpeakerVolume, SetMacVolume, HeosSearch,
                             HeosSelectInput, HeosSetZone, HeosSetZoneVolume, HeosSetVolume, HeosPlay, HeosStop,
                             HeosSetStartWithParty, HeosSavePreset, HeosApplyPreset, HeosDeletePreset, SetSource>;

  Value value;

  /// The wire name of the case, as written under "action".
  std::string_view action() const;

  bool operator==(const AudioCommand&) const = default;
};

void writeJson(wire::Writer& writer, const AudioCommand& command);
AudioCommand readJson(const wire::Value& value, std::type_identity<AudioCommand>);

}  // namespace vinaro

template <>
struct std::hash<vinaro::AudioCommand> {
  std::size_t operator()(const vinaro::AudioCommand& command) const;
};
