#include "app/look/controls/spinner.h"

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <numbers>

#include "app/look/palette.h"

namespace kovali {

namespace {
constexpr int kSpokes = 12;
constexpr int kSide = 32;
}  // namespace

Spinner::Spinner(Scheduler& scheduler, QWidget* parent) : QWidget(parent), scheduler_(scheduler) {
  setFixedSize(kSide, kSide);
}

void Spinner::showEvent(QShowEvent* event) {
  timer_ = scheduler_.repeat(1.0 / kSpokes, [this] {
    step_ = (step_ + 1) % kSpokes;
    update();
  });
  QWidget::showEvent(event);
}

void Spinner::hideEvent(QHideEvent* event) {
  timer_.stop();
  QWidget::hideEvent(event);
}

void Spinner::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(width() / 2.0, height() / 2.0);
  const QColor color = palette().color(QPalette::WindowText);
  // Drawn to the side it is given: a smaller box draws a smaller spinner, never a cut one.
  const double side = std::min(width(), height());
  const double outer = side / 2.0 - side / 16.0;
  for (int spoke = 0; spoke < kSpokes; ++spoke) {
    // The spoke at the current step is the brightest; the ones behind it fade out.
    const int age = (step_ - spoke + kSpokes) % kSpokes;
    QPen pen(withOpacity(color, 1.0 - 0.75 * age / (kSpokes - 1)), side * 2.6 / kSide, Qt::SolidLine, Qt::RoundCap);
    painter.setPen(pen);
    const double angle = 2 * std::numbers::pi * spoke / kSpokes;
    const QPointF direction(std::sin(angle), -std::cos(angle));
    painter.drawLine(direction * outer * 0.5, direction * outer);
  }
}

}  // namespace kovali
