#include "app/look/text/plain_label.h"

#include "app/look/palette.h"

namespace kovali {

PlainLabel::PlainLabel(QWidget* parent) : QLabel(parent) {
  setTextFormat(Qt::PlainText);
  setTextInteractionFlags(Qt::NoTextInteraction);
}

PlainLabel::PlainLabel(const QString& text, const QFont& font, const QColor& color, QWidget* parent)
    : PlainLabel(parent) {
  setFont(font);
  setForeground(*this, color);
  setText(text);
}

}  // namespace kovali
