#pragma once

#include <array>
#include <string>
#include <string_view>

#include "model/hashing.h"
#include "protocol/json_reader.h"
#include "protocol/json_writer.h"

namespace vinaro {

enum class Role { guest, dj };

/// A badge a participant may wear; the cases are ordered guest < regular < gold < vip.
enum class SupporterTier { guest, regular, gold, vip };

std::string_view displayName(SupporterTier tier);

/// A person at the party, or the host itself.
struct Participant {
  static constexpr std::string_view hostID = "host";

  std::string id;
  std::string name;
  Role role = Role::guest;

  /// The host's own record: id "host", role dj.
  static Participant host(std::string name) { return {std::string(hostID), std::move(name), Role::dj}; }

  // Wire name: each field's key.

  static auto wireFields() {
    using wire::field;
    return std::tuple{field("id", &Participant::id), field("name", &Participant::name), field("role", &Participant::role)};
  }

  bool operator==(const Participant&) const = default;
};

enum class PartyMode { collaboration, suggestion };

/// Where an approved song goes: the front of the queue or its end.
enum class QueuePosition { next, end };

template <>
struct EnumNames<Role> {
  static constexpr std::string_view typeName = "Role";
  // Wire name: the raw values phones send and read.
  static constexpr std::array<std::string_view, 2> rawValues = {"guest", "dj"};
};

template <>
struct EnumNames<SupporterTier> {
  static constexpr std::string_view typeName = "SupporterTier";
  // Wire name: the raw values phones send and read.
  static constexpr std::array<std::string_view, 4> rawValues = {"guest", "regular", "gold", "vip"};
};

template <>
struct EnumNames<PartyMode> {
  static constexpr std::string_view typeName = "PartyMode";
  // Wire name: the raw values phones send and read.
  static constexpr std::array<std::string_view, 2> rawValues = {"collaboration", "suggestion"};
};

template <>
struct EnumNames<QueuePosition> {
  static constexpr std::string_view typeName = "QueuePosition";
  // Wire name: the raw values phones send and read.
  static constexpr std::array<std::string_view, 2> rawValues = {"next", "end"};
};

}  // namespace vinaro
