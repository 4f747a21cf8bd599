#include "app/settings/widgets/route_picker.h"

#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QToolButton>
#include <algorithm>

#include "app/look/controls/focus_ring.h"
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

/// The picker's borderless button: the AirPlay icon alone, in every state, so that a face it
/// lies over keeps showing through when it is hovered, pressed or left after its menu.
class RouteButton final : public QToolButton {
 public:
  explicit RouteButton(QWidget* parent) : QToolButton(parent) {}

  /// Where the icon is centred, in the button's coordinates.
  void setIconCenter(QPointF center) {
    iconCenter_ = center;
    update();
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintFocusRing(painter, *this, rect(), 6);
    if (isDown()) painter.setOpacity(0.6);
    QRectF box(QPointF(0, 0), QSizeF(iconSize()));
    box.moveCenter(iconCenter_);
    icon().paint(&painter, box.toAlignedRect());
  }

 private:
  QPointF iconCenter_;
};

RoutePicker::RoutePicker(SpeakerPicker& picker, int iconCenterX, std::optional<int> pickerHeight, QWidget* parent)
    : QWidget(parent),
      picker_(picker),
      iconCenterX_(iconCenterX),
      pickerHeight_(pickerHeight),
      button_(new RouteButton(this)),
      menu_(new QMenu(this)) {
  button_->setText(QStringLiteral("AirPlay"));
  button_->setIcon(airPlayIcon());
  button_->setIconSize(QSize(kIconSide, kIconSide));
  button_->setAccessibleName(QStringLiteral("AirPlay speakers"));
  button_->setPopupMode(QToolButton::InstantPopup);
  button_->setMenu(menu_);
  connect(menu_, &QMenu::aboutToShow, this, &RoutePicker::fillMenu);
  connect(menu_, &QMenu::aboutToHide, &picker_, &SpeakerPicker::menuClosed);
}

QToolButton* RoutePicker::button() const { return button_; }

QRect RoutePicker::buttonFrame(QSize size, int iconCenterX, std::optional<int> pickerHeight) {
  const int half = std::max(size.width() - iconCenterX, 0);
  const int height = std::min(size.height(), pickerHeight.value_or(size.height()));
  return QRect(size.width() - 2 * half, (size.height() - height) / 2, 2 * half, height);
}

void RoutePicker::setIconCenterX(int x) {
  if (std::exchange(iconCenterX_, x) != x) placeButton();
}

void RoutePicker::setPickerHeight(std::optional<int> height) {
  if (std::exchange(pickerHeight_, height) != height) placeButton();
}

void RoutePicker::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  placeButton();
}

void RoutePicker::placeButton() {
  // The frame reaches past the leading edge; the button keeps to the part that shows, so that its
  // menu opens under what the user clicked, and draws its icon where the whole frame centres it.
  const QRect frame = buttonFrame(size(), iconCenterX_, pickerHeight_);
  const QRect shown = frame.isEmpty() ? frame : frame.intersected(rect());
  button_->setGeometry(shown);
  button_->setIconCenter(QRectF(frame).center() - QPointF(shown.topLeft()));
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
