#include "app/look/controls/switch_toggle.h"

#include <QPainter>

#include "app/look/controls/focus_ring.h"
#include "app/look/palette.h"

namespace kovali {

SwitchToggle::SwitchToggle(QWidget* parent) : QAbstractButton(parent) {
  setCheckable(true);
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

QSize SwitchToggle::sizeHint() const { return {34, 20}; }

void SwitchToggle::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (!isEnabled()) painter.setOpacity(0.4);
  const QRectF track = QRectF(rect()).adjusted(1, 1, -1, -1);
  const double radius = track.height() / 2;
  painter.setPen(Qt::NoPen);
  painter.setBrush(isChecked() ? Palette::teal() : Palette::inkQuaternary(appearanceOf(*this)));
  painter.drawRoundedRect(track, radius, radius);

  const double inset = 2;
  const double knob = track.height() - 2 * inset;
  const double x = isChecked() ? track.right() - inset - knob : track.left() + inset;
  painter.setBrush(Qt::white);
  painter.setPen(QPen(withOpacity(Qt::black, 0.12), 0.5));
  painter.drawEllipse(QRectF(x, track.top() + inset, knob, knob));
  paintFocusRing(painter, *this, rect(), radius);
}

}  // namespace kovali
