#include "session/participants/dj_pin.h"

#include <algorithm>

#include "platform/runtime/logging.h"
#include "session/participants/numeric_characters.h"

namespace kovali {

DJPIN::DJPIN(SecretStore& secrets, QStringList launchArguments)
    : secrets_(secrets), launchArguments_(std::move(launchArguments)) {}

std::optional<std::string> DJPIN::launchArgument(const QStringList& arguments) {
  std::optional<std::string> value;
  for (qsizetype i = 1; i + 1 < arguments.size(); ++i) {
    if (arguments[i] == QLatin1String("-djPIN")) value = arguments[++i].toStdString();
  }
  return value;
}

std::string DJPIN::load() const {
  if (auto given = launchArgument(launchArguments_)) return *given;
  const auto stored = secrets_.read(service, account);
  if (!stored) {
    qCWarning(lcSecrets, "Could not read the DJ PIN: %s", stored.error().description.c_str());
    return {};
  }
  return stored->value_or(std::string());
}

std::optional<SecretError> DJPIN::save(const std::string& pin) {
  auto error = pin.empty() ? secrets_.remove(service, account) : secrets_.write(service, account, pin);
  if (error) qCWarning(lcSecrets, "Could not save the DJ PIN: %s", error->description.c_str());
  return error;
}

bool DJPIN::isValid(std::string_view pin) {
  const QStringList characters = userCharacters(QString::fromUtf8(pin.data(), static_cast<qsizetype>(pin.size())));
  if (characters.size() < 4 || characters.size() > 6) return false;
  return std::all_of(characters.begin(), characters.end(),
                     [](const QString& character) { return isNumericCharacter(character); });
}

}  // namespace kovali
