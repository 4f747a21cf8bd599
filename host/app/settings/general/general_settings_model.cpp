#include "app/settings/general/general_settings_model.h"

#include "session/participants/dj_pin.h"
#include "session/participants/numeric_characters.h"

namespace kovali {

GeneralSettingsModel GeneralSettingsModel::make(const std::string& pin, const std::optional<std::string>& saveFailure) {
  const bool valid = DJPIN::isValid(pin);
  GeneralSettingsModel model;
  model.footer = valid ? validFooter : invalidFooter;
  model.showsWarning = (!pin.empty() && !valid) || saveFailure.has_value();
  model.looksValid = valid && !saveFailure;
  if (saveFailure) model.failure = "The PIN was not saved: " + *saveFailure;
  return model;
}

QString filterPIN(const QString& text) { return keepNumericCharacters(text, 6); }

}  // namespace kovali
