#include "app/party/party_view.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>
#include <cmath>

#include "app/look/artwork/tile_shadow.h"
#include "app/look/palette.h"
#include "app/look/symbols/record_mark.h"
#include "app/look/symbols/symbol_label.h"
#include "app/look/system_font.h"
#include "app/look/text/eyebrow.h"
#include "app/look/text/plain_label.h"
#include "app/party/join_block.h"
#include "app/party/live_input_card.h"
#include "app/party/now_playing_card.h"
#include "app/party/up_next_row.h"

namespace kovali {

/// A column on a plain fill. The fill is painted rather than set in the palette, so the
/// children still see the window's light or dark appearance.
class PartyView::Panel final : public QWidget {
 public:
  Panel(QColor fill, QWidget* parent) : QWidget(parent), fill_(std::move(fill)) {}

 protected:
  void paintEvent(QPaintEvent*) override { QPainter(this).fillRect(rect(), fill_); }

 private:
  QColor fill_;
};

PartyView::PartyView(Scheduler& scheduler, ArtworkLoader& loader, QWidget* parent)
    : QWidget(parent), scheduler_(scheduler), progressTicker_(scheduler, [this] { refreshProgress(); }) {
  left_ = static_cast<Panel*>(makeLeftColumn(loader));
  right_ = static_cast<Panel*>(makeRightColumn());
  setSnapshot(PartySnapshot{});
}

PartyView::~PartyView() = default;

QWidget* PartyView::makeLeftColumn(ArtworkLoader& loader) {
  auto* panel = new Panel(Palette::cream(), this);
  panel->setObjectName(QStringLiteral("nowPlayingColumn"));
  nowPlaying_ = new NowPlayingCard(loader, panel);
  liveInput_ = new LiveInputCard(panel);
  upNext_ = new UpNextRow(loader, panel);

  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(40, 36, 40, 36);
  column->setSpacing(0);
  column->addStretch(1);
  column->addWidget(new Eyebrow(QStringLiteral("Now playing"), Palette::orange(), panel));
  column->addSpacing(14);
  column->addWidget(nowPlaying_);
  column->addWidget(liveInput_);
  column->addSpacing(34);
  column->addWidget(new Eyebrow(QStringLiteral("Up next"), Palette::teal(), panel));
  column->addSpacing(10);
  column->addWidget(upNext_);
  column->addStretch(1);
  new TileShadow(nowPlaying_->tile(), *panel, 20);
  new TileShadow(liveInput_->tile(), *panel, 20);
  return panel;
}

QWidget* PartyView::makeRightColumn() {
  auto* panel = new Panel(Palette::charcoal(), this);
  panel->setObjectName(QStringLiteral("joinColumn"));
  join_ = new JoinBlock(scheduler_, panel);
  partygoers_ = new SymbolLabel(Symbol::person2, QString(), panel);
  partygoers_->setObjectName(QStringLiteral("partygoers"));
  partygoers_->setFont(systemFont(12));
  setForeground(*partygoers_, withOpacity(Palette::cream(), 0.85));
  mode_ = new SymbolLabel(Symbol::person3, QString(), panel);
  mode_->setObjectName(QStringLiteral("partyMode"));
  mode_->setFont(systemFont(12));
  setForeground(*mode_, Palette::mint());

  auto* column = new QVBoxLayout(panel);
  column->setContentsMargins(28, 0, 28, 0);
  column->setSpacing(0);
  column->addStretch(1);
  column->addWidget(new RecordMark(60, true, panel), 0, Qt::AlignHCenter);
  column->addSpacing(12);
  column->addWidget(new PlainLabel(QStringLiteral("Kovali"), systemFont(24, QFont::DemiBold), Palette::cream(), panel),
                    0, Qt::AlignHCenter);
  column->addSpacing(2);
  column->addWidget(
      new PlainLabel(QStringLiteral("One queue to bring them all"), systemFont(13), Palette::mint(), panel), 0,
      Qt::AlignHCenter);
  column->addWidget(join_);
  column->addSpacing(24);
  auto* footer = new QHBoxLayout;
  footer->setSpacing(18);
  footer->addWidget(partygoers_, 0, Qt::AlignVCenter);
  footer->addWidget(mode_, 0, Qt::AlignVCenter);
  column->addLayout(footer);
  column->setAlignment(footer, Qt::AlignHCenter);
  column->addStretch(1);
  return panel;
}

void PartyView::setSnapshot(PartySnapshot snapshot) {
  model_ = PartyViewModel::make(snapshot);
  playback_ = snapshot.state->playback;

  if (const auto* live = std::get_if<LiveInputModel>(&model_.card)) {
    liveInput_->setModel(*live);
    nowPlaying_->hide();
    liveInput_->show();
  } else {
    nowPlaying_->setModel(std::get<NowPlayingModel>(model_.card));
    liveInput_->hide();
    nowPlaying_->show();
  }
  upNext_->setModel(model_.upNext);
  join_->setModel(model_.join);
  partygoers_->setContent(Symbol::person2, QString::fromStdString(model_.partygoers));
  mode_->setContent(model_.mode.symbol, QString::fromStdString(model_.mode.text));
  refreshProgress();
  updateProgressTimer();
}

void PartyView::refreshProgress() {
  nowPlaying_->setProgress(ProgressModel::at(playback_, scheduler_.now()));
}

void PartyView::updateProgressTimer() {
  // The progress ticks only while someone can see it.
  progressTicker_.follow(isVisible() && std::holds_alternative<NowPlayingModel>(model_.card));
}

void PartyView::resizeEvent(QResizeEvent* event) {
  const int leftWidth = static_cast<int>(std::lround(width() * leftShare));
  left_->setGeometry(0, 0, leftWidth, height());
  right_->setGeometry(leftWidth, 0, width() - leftWidth, height());
  QWidget::resizeEvent(event);
}

void PartyView::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  updateProgressTimer();
}

void PartyView::hideEvent(QHideEvent* event) {
  QWidget::hideEvent(event);
  updateProgressTimer();
}

}  // namespace kovali
