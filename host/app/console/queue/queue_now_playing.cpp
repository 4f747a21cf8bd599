#include "app/console/queue/queue_now_playing.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QStackedWidget>
#include <QVBoxLayout>

#include "app/look/artwork/artwork_tile.h"
#include "app/look/controls/symbol_button.h"
#include "app/look/fade.h"
#include "app/look/palette.h"
#include "app/look/symbols/symbol_label.h"
#include "app/look/system_font.h"
#include "app/look/text/byline_text.h"
#include "app/look/text/eyebrow.h"
#include "app/look/text/fitted_label.h"
#include "app/look/text/plain_label.h"
#include "app/party/progress_bar.h"

namespace kovali {

namespace {

constexpr int kTileSide = 84;

QVBoxLayout* column(QWidget* owner, int spacing) {
  auto* layout = new QVBoxLayout(owner);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(spacing);
  return layout;
}

/// The live input's tile: an ink square with a paper waveform.
class LiveInputTile final : public QWidget {
 public:
  explicit LiveInputTile(QWidget* parent) : QWidget(parent) { setFixedSize(kTileSide, kTileSide); }

 protected:
  void paintEvent(QPaintEvent*) override {
    const Appearance appearance = appearanceOf(*this);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::ink(appearance));
    painter.drawRoundedRect(QRectF(rect()), 12, 12);
    QRectF symbol(0, 0, 32, 32);
    symbol.moveCenter(QRectF(rect()).center());
    paintSymbol(painter, Symbol::waveform, symbol, Palette::paper(appearance));
  }
};

}  // namespace

QueueNowPlaying::QueueNowPlaying(ArtworkLoader& loader, QWidget* parent) : QWidget(parent) {
  pages_ = new QStackedWidget(this);
  pages_->addWidget(makePlaybackRow(loader));
  pages_->addWidget(makeLiveInputRow());

  notice_ = new SymbolLabel(Symbol::clock, QString(), this);
  notice_->setObjectName(QStringLiteral("transportNotice"));
  notice_->setFont(systemFont(12));
  setForeground(*notice_, Palette::teal());

  auto* layout = column(this, 8);
  layout->addWidget(pages_);
  layout->addWidget(notice_);
  setModel(QueuePlaybackModel{}, std::nullopt);
}

QWidget* QueueNowPlaying::makePlaybackRow(ArtworkLoader& loader) {
  const Appearance appearance = appearanceOf(*this);
  auto* row = new QWidget;
  artwork_ = new ArtworkTile(loader, kTileSide, 12, false, row);
  title_ = new FittedLabel(1, 1.0);
  title_->setObjectName(QStringLiteral("nowPlayingTitle"));
  title_->setFont(systemFont(20, QFont::DemiBold));
  setForeground(*title_, Palette::ink(appearance));
  byline_ = new BylineText(QString(), std::nullopt, 14, false);
  byline_->setObjectName(QStringLiteral("nowPlayingByline"));
  byline_->setFont(systemFont(13));
  setForeground(*byline_, Palette::inkSecondary(appearance));

  auto* text = new QWidget;
  auto* lines = column(text, 3);
  lines->addWidget(new Eyebrow(QStringLiteral("Now playing"), Palette::orange()));
  lines->addWidget(title_);
  lines->addWidget(byline_);
  lines->addWidget(makeProgress());

  playPause_ = new SymbolButton(
      Symbol::playFill, QString(),
      {.glyph = 17, .color = Palette::paper(appearance), .frame = QSize(44, 44), .disc = Palette::ink(appearance)});
  playPause_->setObjectName(QStringLiteral("playPause"));
  skip_ = new SymbolButton(
      Symbol::forwardEndFill, QString(),
      {.glyph = 13, .color = Palette::ink(appearance), .frame = QSize(36, 36), .ring = Palette::ink(appearance)});
  skip_->setObjectName(QStringLiteral("skip"));
  skip_->setAccessibleName(QStringLiteral("Skip"));
  connect(playPause_, &QAbstractButton::clicked, this, &QueueNowPlaying::playPauseClicked);
  connect(skip_, &QAbstractButton::clicked, this, &QueueNowPlaying::skipClicked);

  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(16);
  layout->addWidget(artwork_, 0, Qt::AlignVCenter);
  layout->addWidget(text, 1, Qt::AlignVCenter);
  auto* transport = new QHBoxLayout;
  transport->setSpacing(10);
  transport->addWidget(playPause_, 0, Qt::AlignVCenter);
  transport->addWidget(skip_, 0, Qt::AlignVCenter);
  layout->addLayout(transport);
  return row;
}

QWidget* QueueNowPlaying::makeProgress() {
  auto* block = new QWidget;
  bar_ = new ProgressBar({.height = 4,
                          .minimumFill = minimumFill,
                          .track = &Palette::inkQuaternary,
                          .pausedFill = &Palette::inkTertiary});
  elapsed_ = new PlainLabel(QString(), systemFont(11), Palette::inkSecondary(appearanceOf(*this)));
  elapsed_->setObjectName(QStringLiteral("elapsedTime"));
  duration_ = new PlainLabel(QString(), systemFont(11), Palette::inkSecondary(appearanceOf(*this)));
  duration_->setObjectName(QStringLiteral("duration"));
  auto* layout = column(block, 4);
  layout->setContentsMargins(0, 6, 0, 0);
  layout->addWidget(bar_);
  auto* times = new QHBoxLayout;
  times->addWidget(elapsed_);
  times->addStretch(1);
  times->addWidget(duration_);
  layout->addLayout(times);
  return block;
}

QWidget* QueueNowPlaying::makeLiveInputRow() {
  const Appearance appearance = appearanceOf(*this);
  auto* row = new QWidget;
  inputName_ = new FittedLabel(1, 1.0);
  inputName_->setObjectName(QStringLiteral("liveInputName"));
  inputName_->setFont(systemFont(20, QFont::DemiBold));
  setForeground(*inputName_, Palette::ink(appearance));
  inputNote_ = new PlainLabel(QString(), systemFont(13), Palette::inkSecondary(appearance));
  inputNote_->setObjectName(QStringLiteral("liveInputNote"));
  inputNote_->setWordWrap(true);

  auto* text = new QWidget;
  auto* lines = column(text, 3);
  lines->addWidget(new Eyebrow(QStringLiteral("Now playing"), Palette::orange()));
  lines->addWidget(inputName_);
  lines->addWidget(inputNote_);

  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(16);
  layout->addWidget(new LiveInputTile(row), 0, Qt::AlignVCenter);
  layout->addWidget(text, 1, Qt::AlignVCenter);
  return row;
}

void QueueNowPlaying::setModel(const QueueColumnModel::NowPlaying& model,
                               const std::optional<std::string>& transportNotice) {
  if (const auto* live = std::get_if<LiveInputModel>(&model)) {
    inputName_->setText(QString::fromStdString(live->name));
    inputNote_->setText(QString::fromStdString(live->note));
    pages_->setCurrentIndex(1);
    fadeVisible(*notice_, false);
    return;
  }
  const auto& playback = std::get<QueuePlaybackModel>(model);
  artwork_->setTrack(playback.track);
  title_->setText(QString::fromStdString(playback.title));
  byline_->setContent(QString::fromStdString(playback.byline.text), playback.byline.badge);
  playPause_->setSymbol(playback.transport.isPlaying ? Symbol::pauseFill : Symbol::playFill);
  playPause_->setAccessibleName(playback.transport.isPlaying ? QStringLiteral("Pause") : QStringLiteral("Play"));
  playPause_->setEnabled(playback.transport.canPlayPause);
  skip_->setEnabled(playback.transport.canSkip);
  pages_->setCurrentIndex(0);
  notice_->setContent(Symbol::clock, QString::fromStdString(transportNotice.value_or(std::string())));
  fadeVisible(*notice_, transportNotice.has_value());
}

void QueueNowPlaying::setProgress(const ProgressModel& progress) {
  progress_ = progress;
  elapsed_->setText(QString::fromStdString(progress.elapsedText));
  duration_->setText(QString::fromStdString(progress.durationText));
  bar_->setProgress(progress);
}

}  // namespace kovali
