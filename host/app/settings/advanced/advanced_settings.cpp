#include "app/settings/advanced/advanced_settings.h"

#include <QLabel>
#include <QVBoxLayout>

#include "app/look/controls/segmented_picker.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"

namespace kovali {

namespace {

QStringList engineTitles() {
  QStringList titles;
  for (const AirPlayEngine engine : vinaro::allCases<AirPlayEngine>()) {
    titles << QString::fromStdString(airPlayEngineTitle(engine));
  }
  return titles;
}

}  // namespace

AdvancedSettings::AdvancedSettings(Preferences& preferences, QWidget* parent)
    : QWidget(parent), preferences_(preferences) {
  picker_ = new SegmentedPicker(engineTitles(), this);
  picker_->setAccessibleName(QStringLiteral("AirPlay"));
  caption_ = new PlainLabel(QString(), systemFont(12), Palette::inkSecondary(appearanceOf(*this)), this);
  caption_->setWordWrap(true);
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(8);
  column->addWidget(picker_);
  column->addWidget(caption_);
  connect(picker_, &SegmentedPicker::picked, this, [this](int index) {
    storeAirPlayEngine(preferences_, vinaro::allCases<AirPlayEngine>().at(static_cast<std::size_t>(index)));
    refresh();
  });
  refresh();
}

QString AdvancedSettings::caption() const { return caption_->text(); }

void AdvancedSettings::refresh() {
  const AirPlayEngine engine = storedAirPlayEngine(preferences_);
  picker_->setCurrentIndex(static_cast<int>(engine));
  caption_->setText(QString::fromStdString(airPlayEngineCaption(engine)));
}

}  // namespace kovali
