#pragma once

#include <QString>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "model/participant.h"
#include "model/session_settings.h"
#include "model/session_state.h"

namespace kovali {

/// The switches of the party mode settings, one per flag of `SessionSettings`.
enum class SettingsSwitch { limitsPerGuest, allowDuplicates, limitsRequestsPerGuest, autoPlaysTopRequest };

/// The number fields, one per limit of `SessionSettings`.
enum class SettingsLimit { maxPendingPerGuest, maxRequestsPerGuest };

struct SwitchRowModel {
  SettingsSwitch field = SettingsSwitch::limitsPerGuest;
  std::string title;
  std::optional<std::string> caption;
  bool isOn = false;

  bool operator==(const SwitchRowModel&) const = default;
};

struct NumberRowModel {
  SettingsLimit field = SettingsLimit::maxPendingPerGuest;
  std::string title;
  /// Off while the row's limit switch is off; the field then shows faded.
  bool isEnabled = false;

  bool operator==(const NumberRowModel&) const = default;
};

/// What the "Party Mode" section shows for a party, as plain values: the mode, its caption and
/// the three rows of that mode.
struct PartyModeSettingsModel {
  static constexpr std::string_view limitPlaceholder = "1\u201399";

  vinaro::PartyMode mode = vinaro::PartyMode::collaboration;
  std::string caption;
  SwitchRowModel limitSwitch;
  NumberRowModel limit;
  SwitchRowModel lastSwitch;

  static PartyModeSettingsModel make(const vinaro::SessionState& state);

  bool operator==(const PartyModeSettingsModel&) const = default;
};

/// The picker's options, left to right.
std::vector<vinaro::PartyMode> partyModeOptions();
std::string partyModeTitle(vinaro::PartyMode mode);

/// `settings` with one switch set to `on`, the other fields as they were.
vinaro::SessionSettings withSwitch(vinaro::SessionSettings settings, SettingsSwitch field, bool on);
/// `settings` with one limit set to `value`, the other fields as they were.
vinaro::SessionSettings withLimit(vinaro::SessionSettings settings, SettingsLimit field, std::int64_t value);
std::int64_t limitOf(const vinaro::SessionSettings& settings, SettingsLimit field);

/// The text a limit field keeps of an edit: its numeric characters, in order, at most 2.
QString filterLimit(const QString& text);
/// The number a limit text stands for: a non-empty text of the ASCII digits 0 to 9 only.
std::optional<std::int64_t> parseLimit(const QString& text);
/// The limit to send for a text the user left in a field, when it parses and differs from
/// `stored`.
std::optional<std::int64_t> limitToSend(const QString& text, std::int64_t stored);
/// The field's text after the settings changed: kept while it parses to `limit`, else `limit`.
QString refreshedLimitText(const QString& text, std::int64_t limit);

}  // namespace kovali
