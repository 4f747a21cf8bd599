#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace kovali {

/// The small pictures the screens use, drawn by us in vector shapes.
enum class Symbol {
  ticketFill,
  heartFill,
  starFill,
  crownFill,
  waveform,
  person2,
  person3,
  handRaised,
  exclamationCircle,
};

/// Draws `symbol` in `color`, centred in `box` and as large as fits it.
void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color);

}  // namespace kovali
