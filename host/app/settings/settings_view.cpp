#include "app/settings/settings_view.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/look/palette.h"
#include "app/settings/advanced/advanced_settings.h"
#include "app/settings/general/general_settings.h"
#include "app/settings/heos/heos_section.h"
#include "app/settings/party/party_mode_settings.h"
#include "app/settings/sound/air_play_settings.h"
#include "app/settings/sound/device_settings.h"
#include "app/settings/widgets/settings_section.h"
#include "session/store/session_store.h"

namespace kovali {

namespace {

/// A column whose width is its share of the row, whatever its content asks for.
QVBoxLayout* column(QWidget* holder) {
  holder->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  auto* layout = new QVBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(28);
  layout->setAlignment(Qt::AlignTop);
  return layout;
}

}  // namespace

SettingsView::SettingsView(Services services, QWidget* parent) : QScrollArea(parent) {
  setFrameShape(QFrame::NoFrame);
  setWidgetResizable(true);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  // A click on the page gives it the focus, where Space plays; Tab goes only to the controls,
  // which show where it stands.
  setFocusPolicy(Qt::ClickFocus);
  auto* content = new QWidget;
  QPalette paper = content->palette();
  paper.setColor(QPalette::Window, Palette::paper(appearanceOf(*this)));
  content->setPalette(paper);
  content->setAutoFillBackground(true);

  general_ = new GeneralSettings(services.djPIN);
  partyMode_ = new PartyModeSettings(services.store);
  advanced_ = new AdvancedSettings(services.preferences);
  auto* leftColumn = new QWidget;
  QVBoxLayout* left = column(leftColumn);
  left->addWidget(new SettingsSection(QStringLiteral("General"), general_));
  left->addWidget(new SettingsSection(QStringLiteral("Party Mode"), partyMode_));
  left->addWidget(new SettingsSection(QStringLiteral("Advanced"), advanced_));
  source_ = new SourceSettings(services.store);
  output_ = new OutputSettings(services.store.audio());
  airPlay_ = new AirPlaySettings(services.store);
  heos_ = new HEOSSection(services.store.heos(), services.scheduler);
  auto* rightColumn = new QWidget;
  QVBoxLayout* right = column(rightColumn);
  right->addWidget(new SettingsSection(QStringLiteral("Source"), source_));
  right->addWidget(new SettingsSection(QStringLiteral("Sound output"), output_));
  right->addWidget(new SettingsSection(QStringLiteral("AirPlay"), airPlay_));
  right->addWidget(new SettingsSection(QStringLiteral("HEOS"), heos_));

  auto* columns = new QHBoxLayout(content);
  columns->setContentsMargins(32, 32, 32, 32);
  columns->setSpacing(28);
  columns->addWidget(leftColumn, 1);
  columns->addWidget(rightColumn, 1);
  setWidget(content);
}

}  // namespace kovali
