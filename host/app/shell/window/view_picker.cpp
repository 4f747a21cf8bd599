#include "app/shell/window/view_picker.h"

#include <QHBoxLayout>

#include "app/look/controls/segmented_picker.h"
#include "app/shell/window/view_mode_preference.h"

namespace kovali {

namespace {

QString segmentTitle(HostViewMode mode) {
  switch (mode) {
    case HostViewMode::party:
      return QStringLiteral("Party view");
    case HostViewMode::console:
      return QStringLiteral("DJ Controls");
    case HostViewMode::settings:
      return QStringLiteral("Settings");
  }
  return {};
}

}  // namespace

ViewPicker::ViewPicker(ViewModePreference& viewMode, QWidget* parent) : QWidget(parent), viewMode_(viewMode) {
  setAccessibleName(QStringLiteral("View"));
  setFixedWidth(width);
  QStringList titles;
  for (const HostViewMode mode : vinaro::allCases<HostViewMode>()) titles << segmentTitle(mode);
  picker_ = new SegmentedPicker(titles, this);
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(picker_);
  // allCases lists the modes in their order, so a segment's index is its mode.
  connect(picker_, &SegmentedPicker::picked, this,
          [this](int index) { viewMode_.setMode(static_cast<HostViewMode>(index)); });
  connect(&viewMode_, &ViewModePreference::modeChanged, this, &ViewPicker::follow);
  follow();
}

QAbstractButton* ViewPicker::segment(HostViewMode mode) const { return picker_->segment(static_cast<int>(mode)); }

void ViewPicker::follow() { picker_->setCurrentIndex(static_cast<int>(viewMode_.mode())); }

}  // namespace kovali
