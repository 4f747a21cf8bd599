#include "app/look/symbols/symbol_icon.h"

#include <QPainter>
#include <cmath>

namespace kovali {

SymbolIcon::SymbolIcon(Symbol symbol, double side, QColor color, QWidget* parent)
    : QWidget(parent), symbol_(symbol), color_(std::move(color)) {
  const int pixels = static_cast<int>(std::ceil(side));
  setFixedSize(pixels, pixels);
}

void SymbolIcon::setSymbol(Symbol symbol, QColor color) {
  if (symbol == symbol_ && color == color_) return;
  symbol_ = symbol;
  color_ = std::move(color);
  update();
}

void SymbolIcon::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paintSymbol(painter, symbol_, QRectF(rect()), color_);
}

}  // namespace kovali
