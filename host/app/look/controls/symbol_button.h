#pragma once

#include <QAbstractButton>
#include <optional>

#include "app/look/symbols/symbol.h"

namespace kovali {

/// A borderless button of a symbol, optionally followed by a text, drawn in one colour: the
/// plain buttons of the console. A fixed `frame` centres the symbol on an optional disc or ring.
/// A button sized by its content keeps `focusRingRoom` free around it, where its focus ring runs.
class SymbolButton final : public QAbstractButton {
  Q_OBJECT

 public:
  struct Look {
    double glyph = 13;                      // the symbol's side
    QColor color{};                         // symbol and text
    std::optional<QColor> disabledColor{};  // else the colour, dimmed
    QSize frame{};                          // empty: as large as the content
    std::optional<QColor> disc{};           // a filled circle behind the symbol
    std::optional<QColor> ring{};           // a 2 px circle inside the frame's edge
    bool underlined = false;                // the text's underline, in the colour at 40 %
  };

  SymbolButton(Symbol symbol, const QString& text, Look look, QWidget* parent = nullptr);

  Symbol symbol() const { return symbol_; }
  void setSymbol(Symbol symbol);
  void setLook(Look look);
  const Look& look() const { return look_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  static constexpr int spacing = 4;

  bool isRound() const { return look_.disc || look_.ring; }
  /// Where the symbol and the text are drawn.
  QRectF contentFrame() const;
  void paintFace(QPainter& painter);

  Symbol symbol_;
  Look look_;
};

}  // namespace kovali
