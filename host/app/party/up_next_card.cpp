#include "app/party/up_next_card.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "app/look/artwork/artwork_tile.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/byline_text.h"
#include "app/look/text/fitted_label.h"

namespace kovali {

UpNextCard::UpNextCard(ArtworkLoader& loader, QWidget* parent)
    : QWidget(parent),
      artwork_(new ArtworkTile(loader, 40, 8, false, this)),
      title_(new FittedLabel(1, 1.0)),
      byline_(new BylineText(QString(), std::nullopt, 14, false)) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
  title_->setFont(systemFont(14));
  setForeground(*title_, Palette::charcoal());
  byline_->setFont(systemFont(12));
  setForeground(*byline_, withOpacity(Palette::charcoal(), 0.5));

  auto* text = new QWidget;
  auto* column = new QVBoxLayout(text);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(2);
  column->addWidget(title_);
  column->addWidget(byline_);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(10, 10, 10, 10);
  row->setSpacing(10);
  row->addWidget(artwork_, 0, Qt::AlignVCenter);
  row->addWidget(text, 0, Qt::AlignVCenter);
  row->addStretch(1);
}

void UpNextCard::setModel(const UpNextCardModel& model) {
  itemID_ = model.id;
  artwork_->setTrack(model.track);
  title_->setText(QString::fromStdString(model.track.title));
  byline_->setContent(QString::fromStdString(model.byline.text), model.byline.badge);
}

void UpNextCard::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Qt::white);
  painter.drawRoundedRect(QRectF(rect()), 12, 12);
}

}  // namespace kovali
