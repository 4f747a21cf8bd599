#include "app/settings/widgets/boxed_field.h"

#include <QEvent>
#include <QGraphicsOpacityEffect>
#include <QPainter>
#include <QStyleOptionFrame>

#include "app/look/controls/focus_ring.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"

namespace kovali {

namespace {

QFont boxedFont(double size) {
  QFont font = monospacedSystemFont(size, QFont::DemiBold);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 2);
  return font;
}

}  // namespace

BoxedField::BoxedField(double size, Filter filter, QWidget* parent) : QLineEdit(parent), filter_(std::move(filter)) {
  setFrame(false);
  setFont(boxedFont(size));
  setAlignment(Qt::AlignCenter);
  setFixedWidth(width + 2 * ringRoom);
  setTextMargins(ringRoom, 6 + ringRoom, ringRoom, 6 + ringRoom);
  QPalette colours = palette();
  colours.setColor(QPalette::Base, Qt::transparent);
  colours.setColor(QPalette::Text, Palette::ink(appearanceOf(*this)));
  setPalette(colours);
  // A disabled field fades as a whole, text and box alike.
  auto* fade = new QGraphicsOpacityEffect(this);
  fade->setOpacity(0.4);
  fade->setEnabled(false);
  setGraphicsEffect(fade);
  connect(this, &QLineEdit::textEdited, this, &BoxedField::userEdited);
}

void BoxedField::setValid(bool valid) {
  if (valid == valid_) return;
  valid_ = valid;
  update();
}

void BoxedField::userEdited(const QString& text) {
  const QString kept = filter_(text);
  if (kept != text) {
    // The cursor stays after what was kept of the text before it.
    const int cursor = static_cast<int>(filter_(text.left(cursorPosition())).size());
    setText(kept);
    setCursorPosition(cursor);
  }
  emit edited(kept);
}

void BoxedField::paintEvent(QPaintEvent* event) {
  {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Appearance appearance = appearanceOf(*this);
    const double line = 1.5;
    const QRectF outline = QRectF(rect()).adjusted(ringRoom, ringRoom, -ringRoom, -ringRoom);
    const QRectF box = outline.adjusted(line / 2, line / 2, -line / 2, -line / 2);
    painter.setBrush(Palette::paper(appearance));
    painter.setPen(QPen(valid_ ? withOpacity(Palette::teal(), 0.6) : withOpacity(Palette::orange(), 0.7), line));
    painter.drawRoundedRect(box, 8, 8);
    // Around the border, which keeps telling a valid entry from one that is not.
    paintFocusRing(painter, *this, rect(), 8 + ringRoom);
  }
  QLineEdit::paintEvent(event);
}

void BoxedField::changeEvent(QEvent* event) {
  QLineEdit::changeEvent(event);
  if (event->type() == QEvent::EnabledChange) graphicsEffect()->setEnabled(!isEnabled());
}

void BoxedField::initStyleOption(QStyleOptionFrame* option) const {
  QLineEdit::initStyleOption(option);
  // Its own ring runs around the box instead of the style's around the field.
  option->state &= ~QStyle::State_HasFocus;
}

}  // namespace kovali
