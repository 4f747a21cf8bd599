#include "app/settings/party/party_mode_settings_model.h"

#include "session/participants/numeric_characters.h"

namespace kovali {

using vinaro::PartyMode;

PartyModeSettingsModel PartyModeSettingsModel::make(const vinaro::SessionState& state) {
  const vinaro::SessionSettings& settings = state.settings;
  PartyModeSettingsModel model;
  model.mode = state.mode;
  if (state.mode == PartyMode::collaboration) {
    model.caption = "Partygoers add songs straight to the queue, first come, first played.";
    model.limitSwitch = {SettingsSwitch::limitsPerGuest, "Limit songs per partygoer", std::nullopt,
                         settings.limitsPerGuest};
    model.limit = {SettingsLimit::maxPendingPerGuest, "Songs per partygoer", settings.limitsPerGuest};
    model.lastSwitch = {SettingsSwitch::allowDuplicates, "Allow duplicates", std::nullopt, settings.allowDuplicates};
  } else {
    model.caption = "Partygoers suggest songs and vote; the DJ approves them from the console or an iPhone.";
    model.limitSwitch = {SettingsSwitch::limitsRequestsPerGuest, "Limit requests per partygoer", std::nullopt,
                         settings.limitsRequestsPerGuest};
    model.limit = {SettingsLimit::maxRequestsPerGuest, "Requests per partygoer", settings.limitsRequestsPerGuest};
    model.lastSwitch = {SettingsSwitch::autoPlaysTopRequest, "Automatically play top requested song",
                        "The top requested song will be added to the queue when it is empty",
                        settings.autoPlaysTopRequest};
  }
  return model;
}

std::vector<PartyMode> partyModeOptions() { return {PartyMode::collaboration, PartyMode::suggestion}; }

std::string partyModeTitle(PartyMode mode) {
  return mode == PartyMode::collaboration ? "Collaboration" : "Per requests";
}

vinaro::SessionSettings withSwitch(vinaro::SessionSettings settings, SettingsSwitch field, bool on) {
  switch (field) {
    case SettingsSwitch::limitsPerGuest:
      settings.limitsPerGuest = on;
      break;
    case SettingsSwitch::allowDuplicates:
      settings.allowDuplicates = on;
      break;
    case SettingsSwitch::limitsRequestsPerGuest:
      settings.limitsRequestsPerGuest = on;
      break;
    case SettingsSwitch::autoPlaysTopRequest:
      settings.autoPlaysTopRequest = on;
      break;
  }
  return settings;
}

vinaro::SessionSettings withLimit(vinaro::SessionSettings settings, SettingsLimit field, std::int64_t value) {
  (field == SettingsLimit::maxPendingPerGuest ? settings.maxPendingPerGuest : settings.maxRequestsPerGuest) = value;
  return settings;
}

std::int64_t limitOf(const vinaro::SessionSettings& settings, SettingsLimit field) {
  return field == SettingsLimit::maxPendingPerGuest ? settings.maxPendingPerGuest : settings.maxRequestsPerGuest;
}

QString filterLimit(const QString& text) { return keepNumericCharacters(text, 2); }

std::optional<std::int64_t> parseLimit(const QString& text) {
  // Eighteen digits always fit the number.
  if (text.isEmpty() || text.size() > 18) return std::nullopt;
  std::int64_t value = 0;
  for (const QChar c : text) {
    // Digits of other scripts pass the filter but are no number here.
    if (c < u'0' || c > u'9') return std::nullopt;
    value = value * 10 + (c.unicode() - u'0');
  }
  return value;
}

std::optional<std::int64_t> limitToSend(const QString& text, std::int64_t stored) {
  const auto value = parseLimit(text);
  if (!value || *value == stored) return std::nullopt;
  return value;
}

QString refreshedLimitText(const QString& text, std::int64_t limit) {
  if (parseLimit(text) == limit) return text;
  return QString::number(limit);
}

}  // namespace kovali
