#include "platform/runtime/preferences.h"

namespace kovali {

// A settings file keeps numbers and booleans as text, so text in their exact spelling counts too.

std::optional<bool> Preferences::boolValue(const QString& key) const {
  const auto stored = value(key);
  if (stored.typeId() == QMetaType::Bool) return stored.toBool();
  if (stored.typeId() == QMetaType::QString) {
    if (stored.toString() == QLatin1String("true")) return true;
    if (stored.toString() == QLatin1String("false")) return false;
  }
  return std::nullopt;
}

std::optional<double> Preferences::doubleValue(const QString& key) const {
  const auto stored = value(key);
  switch (stored.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
      return stored.toDouble();
    case QMetaType::QString: {
      bool ok = false;
      const double number = stored.toString().toDouble(&ok);
      return ok ? std::optional(number) : std::nullopt;
    }
    default:
      return std::nullopt;
  }
}

std::optional<QString> Preferences::stringValue(const QString& key) const {
  const auto stored = value(key);
  if (stored.typeId() == QMetaType::QString) return stored.toString();
  return std::nullopt;
}

std::optional<QByteArray> Preferences::dataValue(const QString& key) const {
  const auto stored = value(key);
  if (stored.typeId() == QMetaType::QByteArray) return stored.toByteArray();
  return std::nullopt;
}

}  // namespace kovali
