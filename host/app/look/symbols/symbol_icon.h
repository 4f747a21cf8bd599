#pragma once

#include <QColor>
#include <QWidget>

#include "app/look/symbols/symbol.h"

namespace kovali {

/// A symbol alone, in one colour, in a square of `side` points (centred when the widget is made
/// wider).
class SymbolIcon final : public QWidget {
  Q_OBJECT

 public:
  SymbolIcon(Symbol symbol, double side, QColor color, QWidget* parent = nullptr);

  Symbol symbol() const { return symbol_; }
  const QColor& color() const { return color_; }
  void setSymbol(Symbol symbol, QColor color);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Symbol symbol_;
  QColor color_;
};

}  // namespace kovali
