#include "app/look/text/eyebrow.h"

#include "app/look/system_font.h"

namespace kovali {

namespace {

QFont eyebrowFont() {
  QFont font = systemFont(11, QFont::DemiBold);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
  return font;
}

}  // namespace

Eyebrow::Eyebrow(const QString& text, const QColor& color, QWidget* parent)
    : PlainLabel(text.toUpper(), eyebrowFont(), color, parent) {}

}  // namespace kovali
