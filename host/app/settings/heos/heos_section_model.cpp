#include "app/settings/heos/heos_section_model.h"

#include <QString>
#include <algorithm>

namespace kovali {

namespace {

using Kind = HEOSController::Status::Kind;

std::vector<HEOSSectionModel::InputOption> inputOptionsOf(const HEOSController& heos) {
  std::vector<HEOSSectionModel::InputOption> options;
  if (!heos.currentInput()) options.push_back({"", "Choose"});
  for (const auto& input : heos.inputs()) options.push_back({input.identifier(), input.name});
  return options;
}

std::vector<HEOSSectionModel::Zone> zonesOf(const HEOSController& heos) {
  const auto selected = heos.selectedZones();
  std::vector<HEOSSectionModel::Zone> rows;
  for (const auto& player : heos.players()) {
    const auto level = heos.zoneVolumes().find(player.id);
    rows.push_back({player.id, player.name, std::ranges::find(selected, player.id) != selected.end(),
                    level == heos.zoneVolumes().end() ? std::nullopt : std::optional(level->second)});
  }
  return rows;
}

}  // namespace

std::string heosStatusText(const HEOSController::Status& status) {
  switch (status.kind) {
    case Kind::connected: return "Connected";
    case Kind::failed: return "HEOS unavailable";
    case Kind::off:
    case Kind::searching: return "Looking for HEOS\u2026";
    case Kind::connecting: return "Connecting to HEOS\u2026";
    case Kind::notFound: return "No HEOS system found";
  }
  return {};
}

HEOSSectionModel::Trailing heosStatusTrailing(const HEOSController::Status& status) {
  switch (status.kind) {
    case Kind::connected: return HEOSSectionModel::Trailing::none;
    case Kind::searching:
    case Kind::connecting: return HEOSSectionModel::Trailing::spinner;
    case Kind::failed:
    case Kind::off:
    case Kind::notFound: return HEOSSectionModel::Trailing::searchAgain;
  }
  return HEOSSectionModel::Trailing::none;
}

bool presetNameIsValid(const std::string& name) { return !QString::fromStdString(name).trimmed().isEmpty(); }

HEOSSectionModel HEOSSectionModel::of(const HEOSController& heos) {
  HEOSSectionModel model;
  model.useHEOS = heos.configuration().startWithParty;
  if (!model.useHEOS) return model;
  const auto& status = heos.status();
  model.statusText = heosStatusText(status);
  model.detail = heos.detailText();
  model.trailing = heosStatusTrailing(status);
  model.error = heos.lastError();
  model.showsAddress =
      status.kind == Kind::failed || status.kind == Kind::notFound || heos.configuration().host.has_value();
  model.connected = status.kind == Kind::connected;
  if (!model.connected) return model;
  const auto current = heos.currentInput();
  model.inputOptions = inputOptionsOf(heos);
  model.selectedInput = current ? current->identifier() : std::string();
  model.zones = zonesOf(heos);
  model.volume = heos.volume();
  for (const auto& preset : heos.presets()) model.presets.push_back({preset.id, preset.name});
  model.canSavePreset = current.has_value() && !heos.selectedZones().empty();
  return model;
}

}  // namespace kovali
