#include "protocol/audio_command.h"

#include <tuple>
#include <utility>

#include "model/hashing.h"

namespace vinaro {
namespace {

using Command = AudioCommand;

/// One payload key of a case and the member it fills.
template <class Case, class T>
struct PayloadKey {
  std::string_view key;
  T Case::*member;
};

template <class Case, class T>
constexpr PayloadKey<Case, T> key(std::string_view name, T Case::*member) {
  return {name, member};
}

// The payload keys of each case, in the order they are written and read.
constexpr auto payloadKeys(std::type_identity<Command::Refresh>) { return std::tuple{}; }
constexpr auto payloadKeys(std::type_identity<Command::SetOutput>) { return std::tuple{key("id", &Command::SetOutput::id)}; }
constexpr auto payloadKeys(std::type_identity<Command::SetMultiRoom>) { return std::tuple{key("on", &Command::SetMultiRoom::on)}; }
constexpr auto payloadKeys(std::type_identity<Command::SetPlaysOnMac>) {
  return std::tuple{key("value", &Command::SetPlaysOnMac::value)};
}
constexpr auto payloadKeys(std::type_identity<Command::SetSpeakerVolume>) {
  return std::tuple{key("id", &Command::SetSpeakerVolume::id), key("level", &Command::SetSpeakerVolume::level)};
}
constexpr auto payloadKeys(std::type_identity<Command::SetMacVolume>) {
  return std::tuple{key("level", &Command::SetMacVolume::level)};
}
constexpr auto payloadKeys(std::type_identity<Command::HEOSSearch>) { return std::tuple{}; }
constexpr auto payloadKeys(std::type_identity<Command::HEOSSelectInput>) {
  return std::tuple{key("id", &Command::HEOSSelectInput::id)};
}
constexpr auto payloadKeys(std::type_identity<Command::HEOSSetZone>) {
  return std::tuple{key("id", &Command::HEOSSetZone::id), key("included", &Command::HEOSSetZone::included)};
}
constexpr auto payloadKeys(std::type_identity<Command::HEOSSetZoneVolume>) {
  return std::tuple{key("id", &Command::HEOSSetZoneVolume::id), key("level", &Command::HEOSSetZoneVolume::level)};
}
constexpr auto payloadKeys(std::type_identity<Command::HEOSSetVolume>) {
  return std::tuple{key("level", &Command::HEOSSetVolume::level)};
}
constexpr auto payloadKeys(std::type_identity<Command::HEOSPlay>) { return std::tuple{}; }
constexpr auto payloadKeys(std::type_identity<Command::HEOSStop>) { return std::tuple{}; }
constexpr auto payloadKeys(std::type_identity<Command::HEOSSetStartWithParty>) {
  return std::tuple{key("value", &Command::HEOSSetStartWithParty::value)};
}
constexpr auto payloadKeys(std::type_identity<Command::HEOSSavePreset>) {
  return std::tuple{key("name", &Command::HEOSSavePreset::name)};
}
constexpr auto payloadKeys(std::type_identity<Command::HEOSApplyPreset>) {
  return std::tuple{key("id", &Command::HEOSApplyPreset::id)};
}
constexpr auto payloadKeys(std::type_identity<Command::HEOSDeletePreset>) {
  return std::tuple{key("id", &Command::HEOSDeletePreset::id)};
}
constexpr auto payloadKeys(std::type_identity<Command::SetSource>) { return std::tuple{key("id", &Command::SetSource::id)}; }

/// Calls `visit(key, member)` for each payload key of `payload`, in order.
template <class Case, class Visit>
void forEachPayloadKey(Case& payload, Visit&& visit) {
  std::apply([&](const auto&... keys) { (visit(keys.key, payload.*(keys.member)), ...); },
             payloadKeys(std::type_identity<std::remove_const_t<Case>>{}));
}

template <class T>
void readMember(const wire::ObjectReader& object, std::string_view key, T& member) {
  if constexpr (requires { typename T::value_type; member.has_value(); }) {
    member = object.optional<typename T::value_type>(key);
  } else {
    member = object.required<T>(key);
  }
}

template <class Case>
Command::Value readCase(const wire::ObjectReader& object) {
  Case payload;
  forEachPayloadKey(payload, [&](std::string_view key, auto& member) { readMember(object, key, member); });
  return payload;
}

/// The case named `action`, compared whole and case-sensitively, read from `object`.
template <std::size_t... I>
std::optional<Command::Value> readAction(std::string_view action, const wire::ObjectReader& object,
                                         std::index_sequence<I...>) {
  std::optional<Command::Value> result;
  const auto tryCase = [&]<std::size_t N>(std::integral_constant<std::size_t, N>) {
    using Case = std::variant_alternative_t<N, Command::Value>;
    if (Case::action != action) return false;
    result = readCase<Case>(object);
    return true;
  };
  (tryCase(std::integral_constant<std::size_t, I>{}) || ...);
  return result;
}

}  // namespace

std::string_view AudioCommand::action() const {
  return std::visit([](const auto& payload) { return std::decay_t<decltype(payload)>::action; }, value);
}

void writeJSON(wire::Writer& writer, const AudioCommand& command) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("action", command.action());
    std::visit(
        [&](const auto& payload) {
          forEachPayloadKey(payload, [&](std::string_view key, const auto& member) { object.field(key, member); });
        },
        command.value);
  });
}

AudioCommand readJSON(const wire::Value& value, std::type_identity<AudioCommand>) {
  const wire::ObjectReader object(value);
  const auto action = object.required<std::string>("action");
  auto payload = readAction(action, object, std::make_index_sequence<std::variant_size_v<AudioCommand::Value>>{});
  if (!payload) {
    wire::DecodeError error("Unknown audio action '" + action + "'");
    error.addOuterKey("action");
    throw error;
  }
  return AudioCommand{std::move(*payload)};
}

}  // namespace vinaro

std::size_t std::hash<vinaro::AudioCommand>::operator()(const vinaro::AudioCommand& command) const {
  std::size_t seed = vinaro::hashFields(command.value.index());
  std::visit(
      [&](const auto& payload) {
        vinaro::forEachPayloadKey(payload, [&](std::string_view, const auto& member) { vinaro::hashInto(seed, member); });
      },
      command.value);
  return seed;
}
