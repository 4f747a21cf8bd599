#pragma once

#include <QObject>

#include "app/shell/window/host_view_mode.h"
#include "platform/runtime/preferences.h"

namespace kovali {

/// The main window's view mode, kept in the user's preferences as its raw value so that the
/// window opens where it was left. The menus, the tray and the window's picker all change this
/// one value.
class ViewModePreference final : public QObject {
  Q_OBJECT
  Q_PROPERTY(kovali::HostViewMode mode READ mode WRITE setMode NOTIFY modeChanged)

 public:
  static constexpr const char* key = "hostViewMode";

  /// Reads the stored mode; nothing stored, or anything but a mode's raw value, reads as party.
  explicit ViewModePreference(Preferences& preferences, QObject* parent = nullptr);

  HostViewMode mode() const { return mode_; }
  /// Stores `mode`; observers hear of it when it differs.
  void setMode(HostViewMode mode);

 signals:
  void modeChanged();

 private:
  Preferences& preferences_;
  HostViewMode mode_ = HostViewMode::party;
};

}  // namespace kovali
