#include "settings/widgets/route_picker.h"

#include <QMenu>
#include <QToolButton>
#include <algorithm>

#include "audio/speaker_picker.h"

namespace kovali {

RoutePicker::RoutePicker(SpeakerPicker& picker, int iconCenterX, std::optional<int> pickerHeight, QWidget* parent)
    : QWidget(parent),
      picker_(picker),
      iconCenterX_(iconCenterX),
      pickerHeight_(pickerHeight),
      button_(new QToolButton(this)),
      menu_(new QMenu(this)) {
  button_->setAutoRaise(true);
  button_->setText(QStringLiteral("AirPlay"));
  button_->setAccessibleName(QStringLiteral("AirPlay speakers"));
  button_->setPopupMode(QToolButton::InstantPopup);
  button_->setMenu(menu_);
  connect(menu_, &QMenu::aboutToShow, this, &RoutePicker::fillMenu);
  connect(menu_, &QMenu::aboutToHide, &picker_, &SpeakerPicker::menuClosed);
}

QRect RoutePicker::buttonFrame(QSize size, int iconCenterX, std::optional<int> pickerHeight) {
  const int half = std::max(size.width() - iconCenterX, 0);
  const int height = std::min(size.height(), pickerHeight.value_or(size.height()));
  return QRect(size.width() - 2 * half, (size.height() - height) / 2, 2 * half, height);
}

void RoutePicker::setIconCenterX(int x) {
  if (std::exchange(iconCenterX_, x) != x) button_->setGeometry(buttonFrame(size(), iconCenterX_, pickerHeight_));
}

void RoutePicker::setPickerHeight(std::optional<int> height) {
  if (std::exchange(pickerHeight_, height) != height) {
    button_->setGeometry(buttonFrame(size(), iconCenterX_, pickerHeight_));
  }
}

void RoutePicker::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  button_->setGeometry(buttonFrame(size(), iconCenterX_, pickerHeight_));
}

void RoutePicker::fillMenu() {
  menu_->clear();
  const auto choices = picker_.choices();
  if (choices.empty()) {
    menu_->addAction(QStringLiteral("No AirPlay speakers found"))->setEnabled(false);
    return;
  }
  for (const auto& choice : choices) {
    auto* action = menu_->addAction(QString::fromStdString(choice.name));
    action->setCheckable(true);
    action->setChecked(choice.chosen);
    connect(action, &QAction::toggled, this, [this, id = choice.id](bool on) { picker_.setChosen(id, on); });
  }
}

}  // namespace kovali
