#pragma once

#include <QColor>
#include <QString>
#include <QWidget>

#include "app/look/symbols/symbol.h"
#include "model/participant.h"

namespace kovali {

/// How a supporter tier is drawn: its symbol, its colour and its title.
struct TierStyle {
  Symbol symbol;
  QColor color;
  QString title;
};

TierStyle tierStyle(vinaro::SupporterTier tier);

/// A supporter badge: the tier's symbol in its colour on a faint disc of the same colour.
class BadgeIcon final : public QWidget {
  Q_OBJECT

 public:
  BadgeIcon(vinaro::SupporterTier tier, double size, QWidget* parent = nullptr);

  vinaro::SupporterTier tier() const { return tier_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  vinaro::SupporterTier tier_;
  double size_;
};

}  // namespace kovali
