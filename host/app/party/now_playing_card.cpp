#include "app/party/now_playing_card.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/look/artwork/artwork_tile.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/byline_text.h"
#include "app/look/text/fitted_label.h"
#include "app/party/progress_block.h"

namespace kovali {

NowPlayingCard::NowPlayingCard(ArtworkLoader& loader, QWidget* parent)
    : QWidget(parent),
      artwork_(new ArtworkTile(loader, 190, 20, false, this)),
      title_(new FittedLabel(2, 0.7)),
      subtitle_(new FittedLabel(1, 1.0)),
      addedBy_(new BylineText(QString(), std::nullopt, 16, true)),
      progress_(new ProgressBlock) {
  title_->setObjectName(QStringLiteral("nowPlayingTitle"));
  title_->setFont(systemFont(32, QFont::DemiBold));
  setForeground(*title_, Palette::charcoal());
  subtitle_->setObjectName(QStringLiteral("nowPlayingSubtitle"));
  subtitle_->setFont(systemFont(19));
  setForeground(*subtitle_, withOpacity(Palette::charcoal(), 0.62));
  addedBy_->setObjectName(QStringLiteral("nowPlayingByline"));
  addedBy_->setFont(systemFont(13));
  setForeground(*addedBy_, withOpacity(Palette::charcoal(), 0.45));
  progress_->setContentsMargins(0, 14, 0, 0);

  auto* text = new QWidget;
  auto* column = new QVBoxLayout(text);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(6);
  column->addWidget(title_);
  column->addWidget(subtitle_);
  column->addWidget(addedBy_);
  column->addWidget(progress_);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(28);
  row->addWidget(artwork_, 0, Qt::AlignVCenter);
  row->addWidget(text, 1, Qt::AlignVCenter);
}

void NowPlayingCard::setModel(const NowPlayingModel& model) {
  artwork_->setTrack(model.track);
  title_->setText(QString::fromStdString(model.title));
  subtitle_->setText(QString::fromStdString(model.subtitle));
  addedBy_->setVisible(model.addedBy.has_value());
  if (model.addedBy) addedBy_->setContent(QString::fromStdString(model.addedBy->text), model.addedBy->badge);
}

QWidget& NowPlayingCard::tile() const { return *artwork_; }

void NowPlayingCard::setProgress(const ProgressModel& progress) { progress_->setModel(progress); }

}  // namespace kovali
