#include "app/settings/sound/speaker_picker_button.h"

#include <QHBoxLayout>
#include <QPainter>

#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"
#include "app/settings/widgets/route_picker.h"

namespace kovali {

namespace {

constexpr int kIconSide = 25;
constexpr int kSidePadding = 10;
constexpr int kIconCenterX = kSidePadding + kIconSide / 2;
constexpr int kPickerHeight = 28;

}  // namespace

SpeakerPickerButton::SpeakerPickerButton(SpeakerPicker& picker, QWidget* parent) : QWidget(parent) {
  auto* iconRoom = new QWidget;  // the route picker's icon shows here
  iconRoom->setFixedSize(kIconSide, kIconSide);
  title_ = new PlainLabel(QStringLiteral("Select AirPlay Speakers"), systemFont(14, QFont::Medium), Palette::teal());
  auto* face = new QHBoxLayout(this);
  face->setContentsMargins(kSidePadding, 4, kSidePadding, 4);
  face->setSpacing(5);
  face->addWidget(iconRoom, 0, Qt::AlignVCenter);
  face->addWidget(title_, 0, Qt::AlignVCenter);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);

  routePicker_ = new RoutePicker(picker, kIconCenterX, kPickerHeight, this);
  routePicker_->raise();
}

void SpeakerPickerButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(withOpacity(Palette::teal(), 0.12));
  painter.drawRoundedRect(QRectF(rect()), 8, 8);
}

void SpeakerPickerButton::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  routePicker_->setGeometry(rect());
}

}  // namespace kovali
