#include "app/shell/view_mode_preference.h"

#include "platform/runtime/set_if_changed.h"

namespace kovali {

ViewModePreference::ViewModePreference(Preferences& preferences, QObject* parent)
    : QObject(parent), preferences_(preferences) {
  if (const auto stored = preferences_.stringValue(QString::fromLatin1(key))) {
    mode_ = vinaro::enumFromRawValue<HostViewMode>(stored->toStdString()).value_or(HostViewMode::party);
  }
}

void ViewModePreference::setMode(HostViewMode mode) {
  preferences_.setValue(
      QString::fromLatin1(key),
      QString::fromLatin1(vinaro::rawValue(mode).data(), static_cast<qsizetype>(vinaro::rawValue(mode).size())));
  if (setIfChanged(mode_, mode)) emit modeChanged();
}

}  // namespace kovali
