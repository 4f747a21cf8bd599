#include "app/party/progress_bar.h"

#include <QPainter>

namespace kovali {

ProgressBar::ProgressBar(Look look, QWidget* parent) : QWidget(parent), look_(look) {
  setFixedHeight(look_.height);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  setObjectName(QStringLiteral("progressBar"));
}

void ProgressBar::setProgress(const ProgressModel& progress) {
  progress_ = progress;
  update();
}

void ProgressBar::paintEvent(QPaintEvent*) {
  const Appearance appearance = appearanceOf(*this);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  const double radius = look_.height / 2.0;
  painter.setBrush(look_.track(appearance));
  painter.drawRoundedRect(QRectF(rect()), radius, radius);
  const double fill = progress_.fillWidth(width(), look_.minimumFill);
  if (fill <= 0) return;
  painter.setBrush(progress_.isPlaying ? Palette::orange() : look_.pausedFill(appearance));
  painter.drawRoundedRect(QRectF(0, 0, fill, look_.height), radius, radius);
}

}  // namespace kovali
