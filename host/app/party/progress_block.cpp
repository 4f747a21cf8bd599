#include "app/party/progress_block.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"

namespace kovali {

namespace {
constexpr int kBarHeight = 6;
}  // namespace

/// A capsule track with a capsule fill over it.
class ProgressBlock::Bar final : public QWidget {
 public:
  explicit Bar(ProgressBlock& block) : QWidget(&block), block_(block) {
    setFixedHeight(kBarHeight);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setObjectName(QStringLiteral("progressBar"));
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    const double radius = kBarHeight / 2.0;
    painter.setBrush(withOpacity(Palette::charcoal(), 0.14));
    painter.drawRoundedRect(QRectF(rect()), radius, radius);
    const ProgressModel& model = block_.model();
    const double fill = model.fillWidth(width());
    if (fill <= 0) return;
    painter.setBrush(model.isPlaying ? Palette::orange() : withOpacity(Palette::charcoal(), 0.4));
    painter.drawRoundedRect(QRectF(0, 0, fill, kBarHeight), radius, radius);
  }

 private:
  ProgressBlock& block_;
};

ProgressBlock::ProgressBlock(QWidget* parent)
    : QWidget(parent),
      bar_(new Bar(*this)),
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
  bar_->update();
}

}  // namespace kovali
