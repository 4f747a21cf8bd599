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

    // Wire name: each field's key.

    static auto wireFields() {
      using wire::field;
      return std::tuple{field("id", &Output::id), field("name", &Output::name), field("transport", &Output::transport),
                        field("isDefault", &Output::isDefault)};
    }
    bool operator==(const Output&) const = default;
  };

  /// The multi-room AirPlay engine.
  struct MultiRoom {
    struct Speaker {
      std::string id{};
      std::string name{};
      std::optional<std::int64_t> volume{};  // 0...100; absent when it cannot be set

      // Wire name: each field's key.

      static auto wireFields() {
        using wire::field;
        return std::tuple{field("id", &Speaker::id), field("name", &Speaker::name), field("volume", &Speaker::volume)};
      }
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

    // Wire name: each field's key.

    static auto wireFields() {
      using wire::field;
      return std::tuple{field("isSupported", &MultiRoom::isSupported), field("status", &MultiRoom::status),
                        field("detail", &MultiRoom::detail),           field("playsOnMac", &MultiRoom::playsOnMac),
                        field("isError", &MultiRoom::isError),         field("speakers", &MultiRoom::speakers),
                        field("macVolume", &MultiRoom::macVolume)};
    }
    bool operator==(const MultiRoom&) const = default;
  };

  /// The HEOS speaker system.
  struct HEOS {
    struct Zone {
      std::int64_t id = 0;  // HEOS player id
      std::string name{};
      bool isIncluded = false;
      std::optional<std::int64_t> volume{};

      // Wire name: each field's key.

      static auto wireFields() {
        using wire::field;
        return std::tuple{field("id", &Zone::id), field("name", &Zone::name), field("isIncluded", &Zone::isIncluded),
                          field("volume", &Zone::volume)};
      }
      bool operator==(const Zone&) const = default;
    };

    struct Input {
      std::string id{};  // "<source id>|<media id>"
      std::string name{};

      // Wire name: each field's key.

      static auto wireFields() {
        using wire::field;
        return std::tuple{field("id", &Input::id), field("name", &Input::name)};
      }
      bool operator==(const Input&) const = default;
    };

    struct Preset {
      std::string id{};  // UUID text
      std::string name{};
      std::string summary{};

      // Wire name: each field's key.

      static auto wireFields() {
        using wire::field;
        return std::tuple{field("id", &Preset::id), field("name", &Preset::name), field("summary", &Preset::summary)};
      }
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

    // Wire name: each field's key.

    static auto wireFields() {
      using wire::field;
      return std::tuple{field("status", &HEOS::status),
                        field("title", &HEOS::title),
                        field("detail", &HEOS::detail),
                        field("zones", &HEOS::zones),
                        field("inputs", &HEOS::inputs),
                        field("inputID", &HEOS::inputID),
                        field("volume", &HEOS::volume),
                        field("isPlayingParty", &HEOS::isPlayingParty),
                        field("isApplying", &HEOS::isApplying),
                        field("stateText", &HEOS::stateText),
                        field("stateIsError", &HEOS::stateIsError),
                        field("startWithParty", &HEOS::startWithParty),
                        field("presets", &HEOS::presets)};
    }
    bool operator==(const HEOS&) const = default;
  };

  /// A live input the party can play from instead of the music library.
  struct Source {
    std::string id{};
    std::string name{};
    std::string transport{};

    // Wire name: each field's key.

    static auto wireFields() {
      using wire::field;
      return std::tuple{field("id", &Source::id), field("name", &Source::name), field("transport", &Source::transport)};
    }
    bool operator==(const Source&) const = default;
  };

  std::vector<Output> outputs{};
  MultiRoom multiRoom;
  HEOS heos;
  std::optional<std::vector<Source>> sources{};
  std::optional<std::string> sourceError{};

  // Wire name: each field's key.

  static auto wireFields() {
    using wire::field;
    return std::tuple{field("outputs", &HostAudioState::outputs), field("multiRoom", &HostAudioState::multiRoom),
                      field("heos", &HostAudioState::heos), field("sources", &HostAudioState::sources),
                      field("sourceError", &HostAudioState::sourceError)};
  }
  bool operator==(const HostAudioState&) const = default;
};

}  // namespace vinaro
