#include "session/dj_pin.h"

#include <QTextBoundaryFinder>
#include <unicode/uchar.h>

#include "platform/runtime/logging.h"

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
  const QString text = QString::fromUtf8(pin.data(), static_cast<qsizetype>(pin.size()));
  QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
  int count = 0;
  qsizetype start = 0;
  for (qsizetype end = characters.toNextBoundary(); end != -1; end = characters.toNextBoundary()) {
    if (++count > 6) return false;
    // A character is numeric when its first code point is (a digit may carry combining marks).
    const char32_t first = text.mid(start, end - start).toUcs4().value(0);
    if (u_getIntPropertyValue(static_cast<UChar32>(first), UCHAR_NUMERIC_TYPE) == U_NT_NONE) return false;
    start = end;
  }
  return count >= 4;
}

}  // namespace kovali
