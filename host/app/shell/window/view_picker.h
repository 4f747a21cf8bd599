#pragma once

#include <QWidget>

#include "app/shell/window/host_view_mode.h"

class QAbstractButton;

namespace kovali {

class SegmentedPicker;
class ViewModePreference;

/// The main window's segmented control "View": "Party view", "DJ Controls" and "Settings", the
/// current mode pressed. Choosing a segment changes the mode, and the control follows changes
/// made elsewhere (the menus, the tray).
class ViewPicker final : public QWidget {
  Q_OBJECT

 public:
  static constexpr int width = 300;

  explicit ViewPicker(ViewModePreference& viewMode, QWidget* parent = nullptr);

  QAbstractButton* segment(HostViewMode mode) const;

 private:
  void follow();

  ViewModePreference& viewMode_;
  SegmentedPicker* picker_ = nullptr;
};

}  // namespace kovali
