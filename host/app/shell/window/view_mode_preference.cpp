#include "app/shell/window/view_mode_preference.h"

#include "platform/runtime/set_if_changed.h"

namespace kovali {

ViewModePreference::ViewModePreference(Preferences& preferences, QObject* parent)
    : QObject(parent), preferences_(preferences) {
  mode_ = preferences_.enumValue<HostViewMode>(QString::fromLatin1(key)).value_or(HostViewMode::party);
}

void ViewModePreference::setMode(HostViewMode mode) {
  preferences_.setEnumValue(QString::fromLatin1(key), mode);
  if (setIfChanged(mode_, mode)) emit modeChanged();
}

}  // namespace kovali
