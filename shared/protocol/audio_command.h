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
  struct HEOSSearch {
    static constexpr std::string_view action = "heosSearch";
    bool operator==(const HEOSSearch&) const = default;
  };
  struct HEOSSelectInput {
    static constexpr std::string_view action = "heosSelectInput";
    std::string id;
    bool operator==(const HEOSSelectInput&) const = default;
  };
  struct HEOSSetZone {
    static constexpr std::string_view action = "heosSetZone";
    std::int64_t id = 0;  // a HEOS player id: an integer on the wire, unlike the other ids
    bool included = false;
    bool operator==(const HEOSSetZone&) const = default;
  };
  struct HEOSSetZoneVolume {
    static constexpr std::string_view action = "heosSetZoneVolume";
    std::int64_t id = 0;
    std::int64_t level = 0;
    bool operator==(const HEOSSetZoneVolume&) const = default;
  };
  struct HEOSSetVolume {
    static constexpr std::string_view action = "heosSetVolume";
    std::int64_t level = 0;
    bool operator==(const HEOSSetVolume&) const = default;
  };
  struct HEOSPlay {
    static constexpr std::string_view action = "heosPlay";
    bool operator==(const HEOSPlay&) const = default;
  };
  struct HEOSStop {
    static constexpr std::string_view action = "heosStop";
    bool operator==(const HEOSStop&) const = default;
  };
  struct HEOSSetStartWithParty {
    static constexpr std::string_view action = "heosSetStartWithParty";
    bool value = false;
    bool operator==(const HEOSSetStartWithParty&) const = default;
  };
  struct HEOSSavePreset {
    static constexpr std::string_view action = "heosSavePreset";
    std::string name;
    bool operator==(const HEOSSavePreset&) const = default;
  };
  struct HEOSApplyPreset {
    static constexpr std::string_view action = "heosApplyPreset";
    std::string id;  // preset UUID text
    bool operator==(const HEOSApplyPreset&) const = default;
  };
  struct HEOSDeletePreset {
    static constexpr std::string_view action = "heosDeletePreset";
    std::string id;  // preset UUID text
    bool operator==(const HEOSDeletePreset&) const = default;
  };
  struct SetSource {
    static constexpr std::string_view action = "setSource";
    std::optional<std::string> id;  // nothing means the music library
    bool operator==(const SetSource&) const = default;
  };

  /// The cases in their wire order; the index is also what the hash starts from.
  using Value = std::variant<Refresh, SetOutput, SetMultiRoom, SetPlaysOnMac, SetSpeakerVolume, SetMacVolume, HEOSSearch,
                             HEOSSelectInput, HEOSSetZone, HEOSSetZoneVolume, HEOSSetVolume, HEOSPlay, HEOSStop,
                             HEOSSetStartWithParty, HEOSSavePreset, HEOSApplyPreset, HEOSDeletePreset, SetSource>;

  Value value;

  /// The wire name of the case, as written under "action".
  std::string_view action() const;

  bool operator==(const AudioCommand&) const = default;
};

void writeJSON(wire::Writer& writer, const AudioCommand& command);
AudioCommand readJSON(const wire::Value& value, std::type_identity<AudioCommand>);

}  // namespace vinaro

template <>
struct std::hash<vinaro::AudioCommand> {
  std::size_t operator()(const vinaro::AudioCommand& command) const;
};
