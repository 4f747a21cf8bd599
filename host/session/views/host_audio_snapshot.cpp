#include "session/views/host_audio_snapshot.h"

#include <algorithm>

#include "protocol/string_enum.h"

namespace kovali {

using vinaro::HostAudioState;

namespace {

std::string heosTitle(HEOSController::Status::Kind kind) {
  using Kind = HEOSController::Status::Kind;
  switch (kind) {
    case Kind::connected:
      return "Connected";
    case Kind::failed:
      return "HEOS unavailable";
    case Kind::off:
    case Kind::searching:
      return "Looking for HEOS\u2026";
    case Kind::connecting:
      return "Connecting to HEOS\u2026";
    case Kind::notFound:
      return "No HEOS system found";
  }
  return {};
}

std::vector<HostAudioState::Output> outputsOf(const AudioOutput& audio) {
  std::vector<HostAudioState::Output> outputs;
  for (const auto& device : audio.devices()) {
    outputs.push_back({std::to_string(device.id), device.name, std::string(vinaro::rawValue(device.transport)),
                       device.id == audio.defaultDeviceID()});
  }
  return outputs;
}

HostAudioState::MultiRoom multiRoomOf(const MultiRoomAudio& multiRoom) {
  std::vector<HostAudioState::MultiRoom::Speaker> speakers;
  for (const auto& speaker : multiRoom.speakers()) {
    std::optional<std::int64_t> volume;
    if (speaker.volume) volume = *speaker.volume;
    speakers.push_back({speaker.id, speaker.name, volume});
  }
  return HostAudioState::MultiRoom{
      .isSupported = multiRoom.isSupported(),
      .status = std::string(multiRoom.status().word()),
      .detail = multiRoom.summary(),
      .playsOnMac = multiRoom.playsOnMac(),
      .isError = multiRoom.summaryIsError(),
      .speakers = std::move(speakers),
      .macVolume = multiRoom.macVolume(),
  };
}

HostAudioState::HEOS heosOf(const HEOSController& heos) {
  HostAudioState::HEOS shown;
  shown.status = heosStatusWord(heos);
  shown.title = heosTitle(heos.status().kind);
  shown.detail = heos.detailText();
  const auto selected = heos.selectedZones();
  for (const auto& player : heos.players()) {
    std::optional<std::int64_t> volume;
    if (const auto found = heos.zoneVolumes().find(player.id); found != heos.zoneVolumes().end()) {
      volume = found->second;
    }
    const bool included = std::find(selected.begin(), selected.end(), player.id) != selected.end();
    shown.zones.push_back({player.id, player.name, included, volume});
  }
  for (const auto& input : heos.inputs()) shown.inputs.push_back({input.identifier(), input.name});
  if (const auto current = heos.currentInput()) shown.inputID = current->identifier();
  shown.volume = heos.volume();
  shown.isPlayingParty = heos.isPlayingParty();
  shown.isApplying = heos.isApplying();
  shown.stateText = heos.stateText();
  shown.stateIsError = heos.lastError().has_value();
  shown.startWithParty = heos.configuration().startWithParty;
  std::vector<HostAudioState::HEOS::Preset> presets;
  for (const auto& preset : heos.presets()) presets.push_back({preset.idText(), preset.name, heos.summary(preset)});
  shown.presets = std::move(presets);
  return shown;
}

}  // namespace

std::string heosStatusWord(const HEOSController& heos) {
  using Kind = HEOSController::Status::Kind;
  switch (heos.status().kind) {
    case Kind::connected:
      return heos.isPlayingParty() ? "party" : "connected";
    case Kind::failed:
      return "failed";
    case Kind::off:
      return "off";
    case Kind::searching:
      return "searching";
    case Kind::connecting:
      return "connecting";
    case Kind::notFound:
      return "notfound";
  }
  return {};
}

vinaro::HostAudioState hostAudioSnapshot(const AudioOutput& audio, const MultiRoomAudio& multiRoom,
                                         const HEOSController& heos, const AudioInputs& inputs) {
  std::vector<HostAudioState::Source> sources;
  for (const auto& device : inputs.devices()) {
    sources.push_back({device.id, device.name, std::string(vinaro::rawValue(device.transport))});
  }
  return HostAudioState{
      .outputs = outputsOf(audio),
      .multiRoom = multiRoomOf(multiRoom),
      .heos = heosOf(heos),
      .sources = std::move(sources),
      .sourceError = inputs.lastError(),
  };
}

}  // namespace kovali
