#include "app/look/symbol_view.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace kovali {

SymbolView::SymbolView(Symbol symbol, double glyph, QColor color, int frameWidth, QWidget* parent)
    : QWidget(parent), symbol_(symbol), glyph_(glyph), color_(std::move(color)) {
  const int side = static_cast<int>(std::ceil(glyph));
  setFixedSize(std::max(side, frameWidth), side);
}

void SymbolView::setSymbol(Symbol symbol, QColor color) {
  if (symbol == symbol_ && color == color_) return;
  symbol_ = symbol;
  color_ = std::move(color);
  update();
}

void SymbolView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  QRectF box(0, 0, glyph_, glyph_);
  box.moveCenter(QRectF(rect()).center());
  paintSymbol(painter, symbol_, box, color_);
}

}  // namespace kovali
