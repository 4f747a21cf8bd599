#include "app/settings/sound/volume_control.h"

#include <QHBoxLayout>
#include <QSignalBlocker>
#include <QSlider>
#include <cmath>

#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"

namespace kovali {

int levelAt(double position) { return static_cast<int>(std::lround(position)); }

VolumeControl::VolumeControl(QWidget* parent) : QWidget(parent) {
  slider_ = new QSlider(Qt::Horizontal);
  slider_->setRange(0, 100 * stepsPerLevel);
  slider_->setFixedWidth(130);
  slider_->setAttribute(Qt::WA_MacSmallSize);
  connect(slider_, &QSlider::valueChanged, this,
          [this](int value) { emit levelChosen(levelAt(static_cast<double>(value) / stepsPerLevel)); });
  percent_ = new PlainLabel(QString(), monospacedSystemFont(12), Palette::inkSecondary(appearanceOf(*this)));
  percent_->setFixedWidth(36);
  percent_->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(8);
  row->addWidget(slider_);
  row->addWidget(percent_);
  setLevel(0);
}

void VolumeControl::setLevel(int level) {
  percent_->setText(QStringLiteral("%1%").arg(level));
  // While the user drags, the slider follows the hand; the text shows what the owner holds.
  if (slider_->isSliderDown()) return;
  const QSignalBlocker quiet(slider_);
  slider_->setValue(level * stepsPerLevel);
}

QString VolumeControl::levelText() const { return percent_->text(); }

}  // namespace kovali
