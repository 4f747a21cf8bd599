#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>
#include <optional>

#include "protocol/string_enum.h"

namespace kovali {

/// The user's preferences, one value per key ("hostViewMode", "heos.presets"). The typed
/// readers give nothing when the key is absent or holds a value of another kind, so a caller
/// falls back to its default exactly as for a missing key.
class Preferences {
 public:
  virtual ~Preferences() = default;

  /// The stored value, or an invalid QVariant when the key is absent.
  virtual QVariant value(const QString& key) const = 0;
  virtual void setValue(const QString& key, const QVariant& value) = 0;
  virtual void remove(const QString& key) = 0;

  std::optional<bool> boolValue(const QString& key) const;
  std::optional<double> doubleValue(const QString& key) const;
  std::optional<QString> stringValue(const QString& key) const;
  std::optional<QByteArray> dataValue(const QString& key) const;

  /// The case whose raw value is stored, exactly; nothing for any other value.
  template <class E>
  std::optional<E> enumValue(const QString& key) const {
    const auto stored = stringValue(key);
    if (!stored) return std::nullopt;
    return vinaro::enumFromRawValue<E>(stored->toStdString());
  }
  /// Stores the raw value of `value`.
  template <class E>
  void setEnumValue(const QString& key, E value) {
    const std::string_view raw = vinaro::rawValue(value);
    setValue(key, QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size())));
  }
};

}  // namespace kovali
