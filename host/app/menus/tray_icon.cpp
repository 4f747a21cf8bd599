#include "app/menus/tray_icon.h"

#include <QPainter>

namespace kovali {

QImage trayIconImage(int side, const QColor& color) {
  QImage image(side, side, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter painter(&image);
  painter.setRenderHint(QPainter::Antialiasing);
  // Drawn on a 16-unit square with y growing upwards.
  painter.scale(side / 16.0, side / 16.0);
  painter.translate(0, 16);
  painter.scale(1, -1);

  painter.setPen(Qt::NoPen);
  painter.setBrush(color);
  painter.drawEllipse(QRectF(0, 0, 16, 16).adjusted(0.5, 0.5, -0.5, -0.5));

  // What follows erases.
  painter.setCompositionMode(QPainter::CompositionMode_DestinationOut);
  painter.setBrush(Qt::black);
  painter.drawEllipse(QRectF(0, 0, 16, 16).adjusted(5.5, 5.5, -5.5, -5.5));
  painter.setBrush(Qt::NoBrush);
  painter.setPen(QPen(Qt::black, 1.4, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(8, 8), QPointF(8, 13.5));
  painter.setPen(QPen(Qt::black, 1.8, Qt::SolidLine, Qt::RoundCap));
  painter.drawLine(QPointF(8, 8), QPointF(11.2, 5.0));
  return image;
}

QIcon trayIcon(const QColor& color) {
  QIcon icon;
  for (const int side : {16, 22, 24, 32, 48, 64}) icon.addPixmap(QPixmap::fromImage(trayIconImage(side, color)));
  return icon;
}

}  // namespace kovali
