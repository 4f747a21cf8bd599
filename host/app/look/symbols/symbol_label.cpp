#include "app/look/symbols/symbol_label.h"

#include <QPainter>

namespace kovali {

namespace {
constexpr int kIconSpacing = 5;
}

SymbolLabel::SymbolLabel(Symbol symbol, const QString& text, QWidget* parent)
    : QWidget(parent), symbol_(symbol), text_(text) {
  setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  setAccessibleName(text);
}

void SymbolLabel::setContent(Symbol symbol, const QString& text) {
  if (symbol == symbol_ && text == text_) return;
  symbol_ = symbol;
  text_ = text;
  setAccessibleName(text);
  updateGeometry();
  update();
}

int SymbolLabel::iconSide() const { return fontMetrics().height(); }

QSize SymbolLabel::sizeHint() const {
  return {iconSide() + kIconSpacing + fontMetrics().horizontalAdvance(text_), fontMetrics().height()};
}

void SymbolLabel::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QColor color = palette().color(QPalette::WindowText);
  const int side = iconSide();
  paintSymbol(painter, symbol_, QRectF(0, (height() - side) / 2.0, side, side), color);
  painter.setPen(color);
  painter.setFont(font());
  painter.drawText(QRect(side + kIconSpacing, 0, width() - side - kIconSpacing, height()),
                   Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text_);
}

}  // namespace kovali
