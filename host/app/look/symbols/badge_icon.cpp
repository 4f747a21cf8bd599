#include "app/look/symbols/badge_icon.h"

#include <QPainter>
#include <cmath>

#include "app/look/palette.h"

namespace kovali {

TierStyle tierStyle(vinaro::SupporterTier tier) {
  using vinaro::SupporterTier;
  const QString title = QString::fromUtf8(vinaro::displayName(tier));
  switch (tier) {
    case SupporterTier::guest: return {Symbol::ticketFill, QColor::fromRgbF(0.2, 0.62, 0.33), title};
    case SupporterTier::regular: return {Symbol::heartFill, QColor::fromRgbF(0.86, 0.2, 0.24), title};
    case SupporterTier::gold: return {Symbol::starFill, QColor::fromRgbF(0.93, 0.68, 0), title};
    case SupporterTier::vip: return {Symbol::crownFill, QColor::fromRgbF(0.49, 0.31, 0.8), title};
  }
  return {Symbol::ticketFill, QColor(), title};
}

BadgeIcon::BadgeIcon(vinaro::SupporterTier tier, double size, QWidget* parent)
    : QWidget(parent), tier_(tier), size_(size) {
  const int side = static_cast<int>(std::lround(size));
  setFixedSize(side, side);
  setAccessibleName(tierStyle(tier).title);
}

void BadgeIcon::paintEvent(QPaintEvent*) {
  const TierStyle style = tierStyle(tier_);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  const QRectF frame(0, 0, size_, size_);
  painter.setPen(Qt::NoPen);
  painter.setBrush(withOpacity(style.color, 0.18));
  painter.drawEllipse(frame);
  const double glyph = size_ * 0.54;
  QRectF box(0, 0, glyph, glyph);
  box.moveCenter(frame.center());
  paintSymbol(painter, style.symbol, box, style.color);
}

}  // namespace kovali
