#pragma once

#include <QWidget>

#include "app/look/symbol.h"

namespace kovali {

/// A symbol alone, `glyph` pixels on a side, centred in a box `frameWidth` wide (at least the
/// glyph), in one colour.
class SymbolView final : public QWidget {
  Q_OBJECT

 public:
  SymbolView(Symbol symbol, double glyph, QColor color, int frameWidth = 0, QWidget* parent = nullptr);

  Symbol symbol() const { return symbol_; }
  const QColor& color() const { return color_; }
  void setSymbol(Symbol symbol, QColor color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Symbol symbol_;
  double glyph_;
  QColor color_;
};

}  // namespace kovali
