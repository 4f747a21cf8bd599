#include "app/look/text/byline_text.h"

#include <QHBoxLayout>

#include "app/look/symbols/badge_icon.h"
#include "app/look/text/fitted_label.h"

namespace kovali {

BylineText::BylineText(const QString& text, std::optional<vinaro::SupporterTier> badge, double badgeSize,
                       bool showsTitle, QWidget* parent)
    : QWidget(parent), badgeSize_(badgeSize), showsTitle_(showsTitle), text_(new FittedLabel(1, 1.0, this)) {
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(4);
  row->addWidget(text_, 0, Qt::AlignVCenter);
  row->addStretch(1);
  setContent(text, badge);
}

void BylineText::setContent(const QString& text, std::optional<vinaro::SupporterTier> badge) {
  text_->setText(text);
  if (badge == tier_) return;  // the badge widgets exist exactly while there is a tier
  tier_ = badge;
  auto* row = static_cast<QHBoxLayout*>(layout());
  delete badge_;
  delete title_;
  badge_ = nullptr;
  title_ = nullptr;
  if (!badge) return;
  badge_ = new BadgeIcon(*badge, badgeSize_, this);
  row->insertWidget(1, badge_, 0, Qt::AlignVCenter);
  if (showsTitle_) {
    title_ = new FittedLabel(1, 1.0, this);
    title_->setText(tierStyle(*badge).title);
    row->insertWidget(2, title_, 0, Qt::AlignVCenter);
  }
}

}  // namespace kovali
