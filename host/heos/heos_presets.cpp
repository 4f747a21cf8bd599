#include <algorithm>

#include <QPointer>
#include <QString>

#include "heos/heos_controller.h"
#include "heos/heos_text.h"

namespace kovali {
namespace {

bool sameNameIgnoringCase(const std::string& a, const std::string& b) {
  return QString::fromStdString(a).compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

}  // namespace

// ---- JSON -----------------------------------------------------------------------------------

std::string HEOSController::Preset::idText() const { return id.toString(QUuid::WithoutBraces).toUpper().toStdString(); }

void writeJSON(vinaro::wire::Writer& writer, const HEOSController::Preset& preset) {
  writer.writeObject([&](vinaro::wire::ObjectWriter& object) {
    object.field("id", preset.idText());
    object.field("name", preset.name);
    object.field("sourceID", preset.sourceID);
    object.field("inputMid", preset.inputMid);
    object.field("inputName", preset.inputName);
    object.field("zones", preset.zones);
    object.field("volume", preset.volume);
  });
}

HEOSController::Preset readJSON(const vinaro::wire::Value& value, std::type_identity<HEOSController::Preset>) {
  const vinaro::wire::ObjectReader object(value);
  const auto idText = object.required<std::string>("id");
  const QUuid id = QUuid::fromString(QString::fromStdString(idText));
  // The standard form only (QUuid would also take braces); the nil UUID is a UUID too.
  if (idText.size() != 36 || (id.isNull() && idText != "00000000-0000-0000-0000-000000000000")) {
    vinaro::wire::DecodeError error("\"" + idText + "\" is not a UUID.");
    error.addOuterKey("id");
    throw error;
  }
  return HEOSController::Preset{id,
                                object.required<std::string>("name"),
                                object.required<std::int64_t>("sourceID"),
                                object.required<std::string>("inputMid"),
                                object.required<std::string>("inputName"),
                                object.required<std::vector<HEOSController::Preset::Zone>>("zones"),
                                object.required<std::int64_t>("volume")};
}

// ---- Operations -----------------------------------------------------------------------------

std::string HEOSController::summary(const Preset& preset) const {
  const auto nameOf = [&](const Preset::Zone& zone) {
    const bool listed = std::any_of(players_.begin(), players_.end(), [&](const Player& p) { return p.id == zone.id; });
    return listed ? zoneName(zone.id) : zone.name;
  };
  std::vector<std::string> names;
  std::string volumes;
  for (const auto& zone : preset.zones) {
    names.push_back(nameOf(zone));
    if (zone.volume) volumes += nameOf(zone) + " " + std::to_string(*zone.volume) + " · ";
  }
  return "Plays " + preset.inputName + " in " + joinedList(names) + ".\n" + volumes + "All zones " +
         std::to_string(preset.volume);
}

std::string HEOSController::presetLogText(const Preset& preset) const {
  std::string text = preset.inputName + " on ";
  for (std::size_t i = 0; i < preset.zones.size(); ++i) {
    const auto& zone = preset.zones[i];
    if (i > 0) text += ", ";
    text += zone.name + " " + (zone.volume ? std::to_string(*zone.volume) : std::string("?"));
  }
  return text + ", all zones " + std::to_string(preset.volume);
}

void HEOSController::savePreset(const std::string& name) {
  const std::string presetName = trimmedText(name);
  const auto input = currentInput();
  const auto zones = selectedZones();
  if (presetName.empty() || !input || zones.empty()) return;

  Presets presets = presets_;
  auto place = std::find_if(presets.begin(), presets.end(),
                            [&](const Preset& p) { return sameNameIgnoringCase(p.name, presetName); });
  Preset preset{place != presets.end() ? place->id : QUuid::createUuid(),
                presetName,
                input->sourceID,
                input->mid,
                input->name,
                {},
                volume()};
  for (const auto zone : zones) {
    const auto known = zoneVolumes_.find(zone);
    preset.zones.push_back({zone, zoneName(zone),
                            known != zoneVolumes_.end() ? std::optional(known->second) : std::nullopt});
  }
  const std::string logText = presetLogText(preset);
  if (place != presets.end()) {
    *place = std::move(preset);
  } else {
    presets.push_back(std::move(preset));
  }
  setPresets(std::move(presets));
  savePresets();
  log("saved preset " + presetName + ": " + logText);
  notifyChange();
}

void HEOSController::deletePreset(const QUuid& id) {
  Presets presets = presets_;
  const auto found = std::find_if(presets.begin(), presets.end(), [&](const Preset& p) { return p.id == id; });
  if (found == presets.end()) return;
  log("deleted preset " + found->name);
  presets.erase(found);
  setPresets(std::move(presets));
  savePresets();
  notifyChange();
}

void HEOSController::applyPreset(const Preset& preset) {
  const bool wasPlaying = isPlayingParty();
  ZoneVolumes pending;
  std::vector<std::int64_t> zones;
  for (const auto& zone : preset.zones) {
    zones.push_back(zone.id);
    if (zone.volume) pending[zone.id] = *zone.volume;  // a later entry of the same zone wins
  }
  Configuration changed = configuration_;
  changed.sourceID = preset.sourceID;
  changed.inputMid = preset.inputMid;
  changed.inputName = preset.inputName;
  changed.zones = std::move(zones);
  changed.volume = preset.volume;
  setConfiguration(std::move(changed));
  pendingZoneVolumes_ = std::move(pending);
  log("applying preset " + preset.name + ": " + presetLogText(preset));
  notifyChange();

  if (status_.kind != Status::Kind::connected) return;  // the preset waits in the setup
  if (configuration_.startWithParty && (wasPlaying || partyIsPlaying) && !selectedZones().empty()) {
    requestPlay();
    return;
  }
  sendPresetVolumes(pendingZoneVolumes_);
}

QCoro::Task<> HEOSController::sendPresetVolumes(ZoneVolumes volumes) {
  QPointer<HEOSController> self(this);
  try {
    co_await sendZoneVolumes(std::move(volumes));
  } catch (const HEOSError& error) {
    // The pending volumes stay, so the next play sends them again.
    if (self) report(error.description(), "setting the preset's volumes");
  }
  if (self) notifyChange();
}

}  // namespace kovali
