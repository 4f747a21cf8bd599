#pragma once

#include <memory>

#include <QSettings>

#include "platform/runtime/preferences.h"

namespace kovali {

/// Preferences kept by QSettings under the organisation "kovaliapp".
class QSettingsPreferences final : public Preferences {
 public:
  /// The user's settings of the host application.
  QSettingsPreferences();
  /// Settings in the INI file at `path` (tests, or a second instance).
  explicit QSettingsPreferences(const QString& path);

  QVariant value(const QString& key) const override;
  void setValue(const QString& key, const QVariant& value) override;
  void remove(const QString& key) override;

 private:
  std::unique_ptr<QSettings> settings_;
};

}  // namespace kovali
