#pragma once

#include <QWidget>

#include "app/look/symbols/symbol.h"

namespace kovali {

/// A symbol followed by a one-line text, both in the widget's font size and text colour.
class SymbolLabel final : public QWidget {
  Q_OBJECT

 public:
  SymbolLabel(Symbol symbol, const QString& text, QWidget* parent = nullptr);

  void setContent(Symbol symbol, const QString& text);
  Symbol symbol() const { return symbol_; }
  const QString& text() const { return text_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int iconSide() const;

  Symbol symbol_;
  QString text_;
};

}  // namespace kovali
