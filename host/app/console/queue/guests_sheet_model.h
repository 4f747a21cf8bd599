#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/session_state.h"

namespace kovali {

/// One connected partygoer in the guests sheet.
struct GuestRowModel {
  std::string id;  // the participant's; two connections of one participant give two rows
  std::string name;
  bool isDJ = false;
  std::string queued;  // "N queued"
  bool hasHairlineBelow = false;

  bool operator==(const GuestRowModel&) const = default;
};

/// What the guests sheet shows: who is connected, who is DJ and how many songs each has waiting.
struct GuestsSheetModel {
  static constexpr std::string_view emptyText =
      "Nobody has joined yet. Partygoers appear here as soon as they connect.";

  std::string title;
  std::vector<GuestRowModel> rows;  // by name, case ignored; empty means the empty text shows

  static GuestsSheetModel make(const std::vector<vinaro::Participant>& participants, const vinaro::SessionState& state);

  bool operator==(const GuestsSheetModel&) const = default;
};

}  // namespace kovali
