#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

namespace kovali {

/// What the "General" section shows for the text of the DJ PIN field and the outcome of the
/// last save, as plain values.
struct GeneralSettingsModel {
  static constexpr std::string_view validFooter = "Enter this PIN on your iPhone to become the DJ";
  static constexpr std::string_view invalidFooter = "Set a 4 to 6 digit PIN so a partygoer can become the DJ.";

  std::string footer;
  /// The warning mark beside the field.
  bool showsWarning = false;
  /// The field's border: teal only for a valid PIN that was not refused by the store.
  bool looksValid = false;
  /// Why the last PIN entered was not saved; none once a save succeeds.
  std::optional<std::string> failure;

  /// `saveFailure` is the store's sentence for the last save, when it failed.
  static GeneralSettingsModel make(const std::string& pin, const std::optional<std::string>& saveFailure);

  bool operator==(const GeneralSettingsModel&) const = default;
};

/// The text the PIN field keeps of an edit: its numeric characters, in order, at most 6.
QString filterPIN(const QString& text);

}  // namespace kovali
