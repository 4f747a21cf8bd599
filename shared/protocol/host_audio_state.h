#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "model/hashing.h"
#include "protocol/json_reader.h"
#include "protocol/json_writer.h"

namespace vinaro {

/// The host's snapshot of where its sound goes, for a DJ's phone to show and drive. States and
/// device kinds are plain strings so that a newer host can add words an older phone still reads.
struct HostAudioState {
  /// One sound output device.
  struct Output {
    std::string id{};  // the device's system id in decimal
    std::string name{};
    std::string transport{};  // "Built-in", "AirPlay", "Bluetooth", "USB", "HDMI / DisplayPort", "Other"
    bool isDefault = false;

    bool operator==(const Output&) const = default;
  };

  /// The multi-room AirPlay engine.
  struct MultiRoom {
    struct Speaker {
      std::string id{};
      std::string name{};
      std::optional<std::int64_t> volume{};  // 0...100; absent when it cannot be set

      bool operator==(const Speaker&) const = default;
    };

    bool isSupported = false;
    std::string status{};  // "off", "starting", "on", "failed"
    std::string detail{};
    bool playsOnMac = false;
    std::optional<bool> isError{};
    std::optional<std::vector<Speaker>> speakers{};
    std::optional<std::int64_t> macVolume{};  // 0...100

    bool isActive() const;
    /// The sentence worth showing: only a problem, or why multi-room cannot run at all.
    std::optional<std::string> visibleDetail() const;

    bool operator==(const MultiRoom&) const = default;
  };

  /// The HEOS speaker system.
  struct HEOS {
    struct Zone {
      std::int64_t id = 0;  // HEOS player id
      std::string name{};
      bool isIncluded = false;
      std::optional<std::int64_t> volume{};

      bool operator==(const Zone&) const = default;
    };

    struct Input {
      std::string id{};  // "<source id>|<media id>"
      std::string name{};

      bool operator==(const Input&) const = default;
    };

    struct Preset {
      std::string id{};  // UUID text
      std::string name{};
      std::string summary{};

      bool operator==(const Preset&) const = default;
    };

    std::string status{};  // "connected", "party", "failed", "off", "searching", "connecting", "notfound"
    std::string title{};
    std::optional<std::string> detail{};
    std::vector<Zone> zones{};
    std::vector<Input> inputs{};
    std::optional<std::string> inputID{};
    std::int64_t volume = 0;
    bool isPlayingParty = false;
    bool isApplying = false;
    std::string stateText{};
    bool stateIsError = false;
    bool startWithParty = false;
    std::optional<std::vector<Preset>> presets{};

    bool isConnected() const;
    bool isBusy() const;

    bool operator==(const HEOS&) const = default;
  };

  /// A live input the party can play from instead of the music library.
  struct Source {
    std::string id{};
    std::string name{};
    std::string transport{};

    bool operator==(const Source&) const = default;
  };

  std::vector<Output> outputs{};
  MultiRoom multiRoom;
  HEOS heos;
  std::optional<std::vector<Source>> sources{};
  std::optional<std::string> sourceError{};

  bool operator==(const HostAudioState&) const = default;
};

void writeJson(wire::Writer& writer, const HostAudioState& state);
HostAudioState readJson(const wire::Value& value, std::type_identity<HostAudioState>);
void writeJson(wire::Writer& writer, const HostAudioState::Output& output);
HostAudioState::Output readJson(const wire::Value& value, std::type_identity<HostAudioState::Output>);
void writeJson(wire::Writer& writer, const HostAudioState::MultiRoom& multiRoom);
HostAudioState::MultiRoom readJson(const wire::Value& value, std::type_identity<HostAudioState::MultiRoom>);
void writeJson(wire::Writer& writer, const HostAudioState::MultiRoom::Speaker& speaker);
HostAudioState::MultiRoom::Speaker readJson(const wire::Value& value, std::type_identity<HostAudioState::MultiRoom::Speaker>);
void writeJson(wire::Writer& writer, const HostAudioState::HEOS& heos);
HostAudioState::HEOS readJson(const wire::Value& value, std::type_identity<HostAudioState::HEOS>);
void writeJson(wire::Writer& writer, const HostAudioState::HEOS::Zone& zone);
HostAudioState::HEOS::Zone readJson(const wire::Value& value, std::type_identity<HostAudioState::HEOS::Zone>);
void writeJson(wire::Writer& writer, const HostAudioState::HEOS::Input& input);
HostAudioState::HEOS::Input readJson(const wire::Value& value, std::type_identity<HostAudioState::HEOS::Input>);
void writeJson(wire::Writer& writer, const HostAudioState::HEOS::Preset& preset);
HostAudioState::HEOS::Preset readJson(const wire::Value& value, std::type_identity<HostAudioState::HEOS::Preset>);
void writeJson(wire::Writer& writer, const HostAudioState::Source& source);
HostAudioState::Source readJson(const wire::Value& value, std::type_identity<HostAudioState::Source>);

}  // namespace vinaro

template <>
struct std::hash<vinaro::HostAudioState::Output> {
  std::size_t operator()(const vinaro::HostAudioState::Output& o) const {
    return vinaro::hashFields(o.id, o.name, o.transport, o.isDefault);
  }
};

template <>
struct std::hash<vinaro::HostAudioState::MultiRoom::Speaker> {
  std::size_t operator()(const vinaro::HostAudioState::MultiRoom::Speaker& s) const {
    return vinaro::hashFields(s.id, s.name, s.volume);
  }
};

template <>
struct std::hash<vinaro::HostAudioState::MultiRoom> {
  std::size_t operator()(const vinaro::HostAudioState::MultiRoom& m) const {
    return vinaro::hashFields(m.isSupported, m.status, m.detail, m.playsOnMac, m.isError, m.speakers, m.macVolume);
  }
};

template <>
struct std::hash<vinaro::HostAudioState::HEOS::Zone> {
  std::size_t operator()(const vinaro::HostAudioState::HEOS::Zone& z) const {
    return vinaro::hashFields(z.id, z.name, z.isIncluded, z.volume);
  }
};

template <>
struct std::hash<vinaro::HostAudioState::HEOS::Input> {
  std::size_t operator()(const vinaro::HostAudioState::HEOS::Input& i) const {
    return vinaro::hashFields(i.id, i.name);
  }
};

template <>
struct std::hash<vinaro::HostAudioState::HEOS::Preset> {
  std::size_t operator()(const vinaro::HostAudioState::HEOS::Preset& p) const {
    return vinaro::hashFields(p.id, p.name, p.summary);
  }
};

template <>
struct std::hash<vinaro::HostAudioState::HEOS> {
  std::size_t operator()(const vinaro::HostAudioState::HEOS& h) const {
    return vinaro::hashFields(h.status, h.title, h.detail, h.zones, h.inputs, h.inputID, h.volume, h.isPlayingParty,
                              h.isApplying, h.stateText, h.stateIsError, h.startWithParty, h.presets);
  }
};

template <>
struct std::hash<vinaro::HostAudioState::Source> {
  std::size_t operator()(const vinaro::HostAudioState::Source& s) const {
    return vinaro::hashFields(s.id, s.name, s.transport);
  }
};

template <>
struct std::hash<vinaro::HostAudioState> {
  std::size_t operator()(const vinaro::HostAudioState& s) const {
    return vinaro::hashFields(s.outputs, s.multiRoom, s.heos, s.sources, s.sourceError);
  }
};
