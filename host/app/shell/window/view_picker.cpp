#include "app/shell/window/view_picker.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

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
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  group_ = new QButtonGroup(this);
  group_->setExclusive(true);
  for (const HostViewMode mode : vinaro::allCases<HostViewMode>()) {
    auto* button = new QToolButton(this);
    button->setText(segmentTitle(mode));
    button->setCheckable(true);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setFocusPolicy(Qt::TabFocus);
    group_->addButton(button, static_cast<int>(mode));
    layout->addWidget(button);
  }
  connect(group_, &QButtonGroup::idClicked, this, [this](int id) { viewMode_.setMode(static_cast<HostViewMode>(id)); });
  connect(&viewMode_, &ViewModePreference::modeChanged, this, &ViewPicker::follow);
  follow();
}

QAbstractButton* ViewPicker::segment(HostViewMode mode) const { return group_->button(static_cast<int>(mode)); }

void ViewPicker::follow() { segment(viewMode_.mode())->setChecked(true); }

}  // namespace kovali
