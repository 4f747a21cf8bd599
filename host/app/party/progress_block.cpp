#include "app/party/progress_block.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"
#include "app/party/progress_bar.h"

namespace kovali {

namespace {

ProgressBar::Look barLook() {
  return {.height = 6,
          .track = [](Appearance) { return withOpacity(Palette::charcoal(), 0.14); },
          .pausedFill = [](Appearance) { return withOpacity(Palette::charcoal(), 0.4); }};
}

}  // namespace

ProgressBlock::ProgressBlock(QWidget* parent)
    : QWidget(parent),
      bar_(new ProgressBar(barLook(), this)),
      elapsed_(new PlainLabel(this)),
      status_(new PlainLabel(this)),
      duration_(new PlainLabel(this)) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(6);
  column->addWidget(bar_);

  auto* times = new QHBoxLayout;
  times->setContentsMargins(0, 0, 0, 0);
  for (PlainLabel* label : {elapsed_, status_, duration_}) {
    label->setFont(systemFont(12));
    setForeground(*label, withOpacity(Palette::charcoal(), 0.62));
  }
  elapsed_->setObjectName(QStringLiteral("elapsedTime"));
  status_->setObjectName(QStringLiteral("playbackStatus"));
  duration_->setObjectName(QStringLiteral("duration"));
  times->addWidget(elapsed_);
  times->addStretch(1);
  times->addWidget(status_);
  times->addStretch(1);
  times->addWidget(duration_);
  column->addLayout(times);
  setModel(model_);
}

void ProgressBlock::setModel(const ProgressModel& model) {
  model_ = model;
  elapsed_->setText(QString::fromStdString(model.elapsedText));
  status_->setText(QString::fromStdString(model.statusText));
  duration_->setText(QString::fromStdString(model.durationText));
  setForeground(*status_, model.isPlaying ? Palette::orange() : withOpacity(Palette::charcoal(), 0.62));
  bar_->setProgress(model);
}

}  // namespace kovali
