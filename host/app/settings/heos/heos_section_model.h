#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "heos/heos_controller.h"

namespace kovali {

/// What the HEOS section shows for the controller's state, row by row; rows that are absent
/// are empty or false.
struct HEOSSectionModel {
  /// What stands at the end of the status row.
  enum class Trailing { none, searchAgain, spinner };

  struct InputOption {
    std::string id;  // "<source id>|<media id>"; "" for "Choose"
    std::string name;

    bool operator==(const InputOption&) const = default;
  };

  struct Zone {
    std::int64_t id = 0;
    std::string name;
    bool included = false;
    std::optional<std::int64_t> volume;  // no slider without a known level

    bool operator==(const Zone&) const = default;
  };

  struct PresetRow {
    QUuid id;
    std::string name;

    bool operator==(const PresetRow&) const = default;
  };

  bool useHEOS = false;  // everything below the switch shows only while it is on
  std::string statusText;
  std::optional<std::string> detail;
  Trailing trailing = Trailing::none;
  bool connected = false;  // the input, the zones, "All zones" and the presets
  std::vector<InputOption> inputOptions;
  std::string selectedInput;
  std::vector<Zone> zones;
  std::int64_t volume = 0;
  std::vector<PresetRow> presets;
  bool canSavePreset = false;
  std::optional<std::string> error;
  bool showsAddress = false;

  /// What the section shows for `heos` now.
  static HEOSSectionModel of(const HEOSController& heos);

  bool operator==(const HEOSSectionModel&) const = default;
};

/// The status row's text for `status`.
std::string heosStatusText(const HEOSController::Status& status);
/// The control at the end of the status row for `status`.
HEOSSectionModel::Trailing heosStatusTrailing(const HEOSController::Status& status);

/// Whether a preset name may be saved: something is left once blanks are trimmed.
bool presetNameIsValid(const std::string& name);

}  // namespace kovali
