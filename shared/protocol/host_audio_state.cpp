#include "protocol/host_audio_state.h"

namespace vinaro {

bool HostAudioState::MultiRoom::isActive() const { return status == "on" || status == "starting"; }

std::optional<std::string> HostAudioState::MultiRoom::visibleDetail() const {
  const bool reportsError = isError.value_or(status == "failed");
  if (reportsError || !isSupported) return detail;
  return std::nullopt;
}

bool HostAudioState::HEOS::isConnected() const { return status == "connected" || status == "party"; }

bool HostAudioState::HEOS::isBusy() const { return status == "searching" || status == "connecting"; }

void writeJson(wire::Writer& writer, const HostAudioState& state) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("heos", state.heos);
    object.field("multiRoom", state.multiRoom);
    object.field("outputs", state.outputs);
    object.field("sourceError", state.sourceError);
    object.field("sources", state.sources);
  });
}

HostAudioState readJson(const wire::Value& value, std::type_identity<HostAudioState>) {
  const wire::ObjectReader object(value);
  return HostAudioState{
      .outputs = object.required<std::vector<HostAudioState::Output>>("outputs"),
      .multiRoom = object.required<HostAudioState::MultiRoom>("multiRoom"),
      .heos = object.required<HostAudioState::HEOS>("heos"),
      .sources = object.optional<std::vector<HostAudioState::Source>>("sources"),
      .sourceError = object.optional<std::string>("sourceError"),
  };
}

void writeJson(wire::Writer& writer, const HostAudioState::Output& output) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("id", output.id);
    object.field("isDefault", output.isDefault);
    object.field("name", output.name);
    object.field("transport", output.transport);
  });
}

HostAudioState::Output readJson(const wire::Value& value, std::type_identity<HostAudioState::Output>) {
  const wire::ObjectReader object(value);
  return HostAudioState::Output{
      .id = object.required<std::string>("id"),
      .name = object.required<std::string>("name"),
      .transport = object.required<std::string>("transport"),
      .isDefault = object.required<bool>("isDefault"),
  };
}

void writeJson(wire::Writer& writer, const HostAudioState::MultiRoom& multiRoom) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("detail", multiRoom.detail);
    object.field("isError", multiRoom.isError);
    object.field("isSupported", multiRoom.isSupported);
    object.field("macVolume", multiRoom.macVolume);
    object.field("playsOnMac", multiRoom.playsOnMac);
    object.field("speakers", multiRoom.speakers);
    object.field("status", multiRoom.status);
  });
}

HostAudioState::MultiRoom readJson(const wire::Value& value, std::type_identity<HostAudioState::MultiRoom>) {
  const wire::ObjectReader object(value);
  return HostAudioState::MultiRoom{
      .isSupported = object.required<bool>("isSupported"),
      .status = object.required<std::string>("status"),
      .detail = object.required<std::string>("detail"),
      .playsOnMac = object.required<bool>("playsOnMac"),
      .isError = object.optional<bool>("isError"),
      .speakers = object.optional<std::vector<HostAudioState::MultiRoom::Speaker>>("speakers"),
      .macVolume = object.optional<std::int64_t>("macVolume"),
  };
}

void writeJson(wire::Writer& writer, const HostAudioState::MultiRoom::Speaker& speaker) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("id", speaker.id);
    object.field("name", speaker.name);
    object.field("volume", speaker.volume);
  });
}

HostAudioState::MultiRoom::Speaker readJson(const wire::Value& value,
                                            std::type_identity<HostAudioState::MultiRoom::Speaker>) {
  const wire::ObjectReader object(value);
  return HostAudioState::MultiRoom::Speaker{
      .id = object.required<std::string>("id"),
      .name = object.required<std::string>("name"),
      .volume = object.optional<std::int64_t>("volume"),
  };
}

void writeJson(wire::Writer& writer, const HostAudioState::HEOS& heos) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("detail", heos.detail);
    object.field("inputID", heos.inputID);
    object.field("inputs", heos.inputs);
    object.field("isApplying", heos.isApplying);
    object.field("isPlayingParty", heos.isPlayingParty);
    object.field("presets", heos.presets);
    object.field("startWithParty", heos.startWithParty);
    object.field("stateIsError", heos.stateIsError);
    object.field("stateText", heos.stateText);
    object.field("status", heos.status);
    object.field("title", heos.title);
    object.field("volume", heos.volume);
    object.field("zones", heos.zones);
  });
}

HostAudioState::HEOS readJson(const wire::Value& value, std::type_identity<HostAudioState::HEOS>) {
  const wire::ObjectReader object(value);
  return HostAudioState::HEOS{
      .status = object.required<std::string>("status"),
      .title = object.required<std::string>("title"),
      .detail = object.optional<std::string>("detail"),
      .zones = object.required<std::vector<HostAudioState::HEOS::Zone>>("zones"),
      .inputs = object.required<std::vector<HostAudioState::HEOS::Input>>("inputs"),
      .inputID = object.optional<std::string>("inputID"),
      .volume = object.required<std::int64_t>("volume"),
      .isPlayingParty = object.required<bool>("isPlayingParty"),
      .isApplying = object.required<bool>("isApplying"),
      .stateText = object.required<std::string>("stateText"),
      .stateIsError = object.required<bool>("stateIsError"),
      .startWithParty = object.required<bool>("startWithParty"),
      .presets = object.optional<std::vector<HostAudioState::HEOS::Preset>>("presets"),
  };
}

void writeJson(wire::Writer& writer, const HostAudioState::HEOS::Zone& zone) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("id", zone.id);
    object.field("isIncluded", zone.isIncluded);
    object.field("name", zone.name);
    object.field("volume", zone.volume);
  });
}

HostAudioState::HEOS::Zone readJson(const wire::Value& value, std::type_identity<HostAudioState::HEOS::Zone>) {
  const wire::ObjectReader object(value);
  return HostAudioState::HEOS::Zone{
      .id = object.required<std::int64_t>("id"),
      .name = object.required<std::string>("name"),
      .isIncluded = object.required<bool>("isIncluded"),
      .volume = object.optional<std::int64_t>("volume"),
  };
}

void writeJson(wire::Writer& writer, const HostAudioState::HEOS::Input& input) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("id", input.id);
    object.field("name", input.name);
  });
}

HostAudioState::HEOS::Input readJson(const wire::Value& value, std::type_identity<HostAudioState::HEOS::Input>) {
  const wire::ObjectReader object(value);
  return {object.required<std::string>("id"), object.required<std::string>("name")};
}

void writeJson(wire::Writer& writer, const HostAudioState::HEOS::Preset& preset) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("id", preset.id);
    object.field("name", preset.name);
    object.field("summary", preset.summary);
  });
}

HostAudioState::HEOS::Preset readJson(const wire::Value& value, std::type_identity<HostAudioState::HEOS::Preset>) {
  const wire::ObjectReader object(value);
  return {object.required<std::string>("id"), object.required<std::string>("name"),
          object.required<std::string>("summary")};
}

void writeJson(wire::Writer& writer, const HostAudioState::Source& source) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("id", source.id);
    object.field("name", source.name);
    object.field("transport", source.transport);
  });
}

HostAudioState::Source readJson(const wire::Value& value, std::type_identity<HostAudioState::Source>) {
  const wire::ObjectReader object(value);
  return {object.required<std::string>("id"), object.required<std::string>("name"),
          object.required<std::string>("transport")};
}

}  // namespace vinaro
