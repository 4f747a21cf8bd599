#include "app/settings/widgets/route_picker.h"

#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <algorithm>

#include "app/look/palette.h"
#include "app/look/symbols/symbol.h"
#include "audio/speaker_picker.h"

namespace kovali {

namespace {

constexpr int kIconSide = 22;

QIcon airPlayIcon() {
  QPixmap pixmap(kIconSide * 2, kIconSide * 2);  // drawn at twice the size: sharp on dense screens
  pixmap.setDevicePixelRatio(2);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  paintSymbol(painter, Symbol::airplayAudio, QRectF(0, 0, kIconSide, kIconSide), Palette::teal());
  return QIcon(pixmap);
}

}  // namespace

RoutePicker::RoutePicker(SpeakerPicker& picker, int iconCenterX, std::optional<int> pickerHeight, QWidget* parent)
    : QWidget(parent),
      picker_(picker),
      iconCenterX_(iconCenterX),
      pickerHeight_(pickerHeight),
      button_(new QToolButton(this)),
      menu_(new QMenu(this)) {
  button_->setAutoRaise(true);
  button_->setText(QStringLiteral("AirPlay"));
  button_->setIcon(airPlayIcon());
  button_->setIconSize(QSize(kIconSide, kIconSide));
  button_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  button_->setStyleSheet(QStringLiteral("QToolButton::menu-indicator { image: none; width: 0px; }"));
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
