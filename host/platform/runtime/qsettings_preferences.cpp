#include "platform/runtime/qsettings_preferences.h"

namespace kovali {

QSettingsPreferences::QSettingsPreferences()
    : settings_(std::make_unique<QSettings>(QStringLiteral("kovaliapp"), QStringLiteral("kovali-host"))) {}

QSettingsPreferences::QSettingsPreferences(const QString& path)
    : settings_(std::make_unique<QSettings>(path, QSettings::IniFormat)) {}

QVariant QSettingsPreferences::value(const QString& key) const { return settings_->value(key); }

void QSettingsPreferences::setValue(const QString& key, const QVariant& value) { settings_->setValue(key, value); }

void QSettingsPreferences::remove(const QString& key) { settings_->remove(key); }

}  // namespace kovali
