#include "app/look/controls/symbol_button.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

#include "app/look/controls/focus_ring.h"
#include "app/look/palette.h"

namespace kovali {

SymbolButton::SymbolButton(Symbol symbol, const QString& text, Look look, QWidget* parent)
    : QAbstractButton(parent), symbol_(symbol), look_(std::move(look)) {
  setText(text);
  setAccessibleName(text);
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setCursor(Qt::PointingHandCursor);
  // Tab reaches it, a click leaves the focus where it was: Space then still plays and pauses.
  setFocusPolicy(Qt::TabFocus);
}

void SymbolButton::setSymbol(Symbol symbol) {
  if (symbol == symbol_) return;
  symbol_ = symbol;
  update();
}

void SymbolButton::setLook(Look look) {
  look_ = std::move(look);
  updateGeometry();
  update();
}

QSize SymbolButton::sizeHint() const {
  if (!look_.frame.isEmpty()) return look_.frame;
  const int glyph = static_cast<int>(std::ceil(look_.glyph));
  const QFontMetrics metrics(font());
  const QSize content = text().isEmpty() ? QSize(glyph, glyph)
                                         : QSize(glyph + spacing + metrics.horizontalAdvance(text()),
                                                 std::max(glyph, metrics.height()));
  return content.grownBy(QMargins(focusRingRoom, focusRingRoom, focusRingRoom, focusRingRoom));
}

QRectF SymbolButton::contentFrame() const {
  double inset = 0;
  if (look_.frame.isEmpty()) {
    inset = focusRingRoom;
  } else if (hasFocus() && isRound()) {
    inset = 3;  // smaller inside the focus ring, which the disc would hide
  }
  return QRectF(rect()).adjusted(inset, inset, -inset, -inset);
}

void SymbolButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  paintFace(painter);
  paintFocusRing(painter, *this, rect(), isRound() ? std::min(width(), height()) / 2.0 : 5);
}

void SymbolButton::paintFace(QPainter& painter) {
  QColor color = look_.color;
  if (!isEnabled()) {
    if (look_.disabledColor) {
      color = *look_.disabledColor;
    } else {
      painter.setOpacity(0.35);
    }
  } else if (isDown()) {
    painter.setOpacity(0.6);
  }
  const QRectF frame = contentFrame();
  if (look_.disc) {
    painter.setPen(Qt::NoPen);
    painter.setBrush(*look_.disc);
    painter.drawEllipse(frame);
  }
  if (look_.ring) {
    painter.setPen(QPen(*look_.ring, 2));
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(frame.adjusted(1, 1, -1, -1));
  }
  const double glyph = look_.glyph;
  if (text().isEmpty()) {
    QRectF box(0, 0, glyph, glyph);
    box.moveCenter(frame.center());
    paintSymbol(painter, symbol_, box, color);
    return;
  }
  paintSymbol(painter, symbol_, QRectF(frame.left(), frame.center().y() - glyph / 2, glyph, glyph), color);
  QFont textFont = font();
  painter.setFont(textFont);
  painter.setPen(color);
  const QRectF textBox = frame.adjusted(glyph + spacing, 0, 0, 0);
  painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text());
  if (look_.underlined) {
    const QFontMetricsF metrics(textFont);
    const double baseline =
        frame.top() + (frame.height() + metrics.ascent() - metrics.descent()) / 2 + metrics.underlinePos();
    painter.setPen(QPen(withOpacity(color, 0.4), std::max(1.0, metrics.lineWidth())));
    painter.drawLine(QPointF(textBox.left(), baseline),
                     QPointF(textBox.left() + metrics.horizontalAdvance(text()), baseline));
  }
}

}  // namespace kovali
