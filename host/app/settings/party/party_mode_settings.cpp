#include "app/settings/party/party_mode_settings.h"

#include <QShowEvent>
#include <QVBoxLayout>

#include "app/look/controls/segmented_picker.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"
#include "app/settings/widgets/boxed_field.h"
#include "app/settings/widgets/settings_rows.h"
#include "session/store/session_store.h"

namespace kovali {

namespace {

QStringList modeTitles() {
  QStringList titles;
  for (const vinaro::PartyMode mode : partyModeOptions()) titles << QString::fromStdString(partyModeTitle(mode));
  return titles;
}

}  // namespace

PartyModeSettings::PartyModeSettings(SessionStore& store, QWidget* parent) : QWidget(parent), store_(store) {
  picker_ = new SegmentedPicker(modeTitles(), this);
  picker_->setAccessibleName(QStringLiteral("Party Mode"));
  caption_ = new PlainLabel(QString(), systemFont(12), Palette::inkSecondary(appearanceOf(*this)), this);
  caption_->setObjectName(QStringLiteral("modeCaption"));
  caption_->setWordWrap(true);
  limitSwitch_ = new SwitchRow(this);
  songs_ = new NumberRow(this);
  requests_ = new NumberRow(this);
  lastSwitch_ = new SwitchRow(this);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(12);
  for (QWidget* child :
       {static_cast<QWidget*>(picker_), static_cast<QWidget*>(caption_), static_cast<QWidget*>(limitSwitch_),
        static_cast<QWidget*>(songs_), static_cast<QWidget*>(requests_), static_cast<QWidget*>(lastSwitch_)}) {
    column->addWidget(child);
  }

  connect(picker_, &SegmentedPicker::picked, this, &PartyModeSettings::modePicked);
  connect(limitSwitch_, &SwitchRow::switched, this, [this](bool on) { switched(model_.limitSwitch, on); });
  connect(lastSwitch_, &SwitchRow::switched, this, [this](bool on) { switched(model_.lastSwitch, on); });
  connect(&songs_->field(), &BoxedField::edited, this,
          [this](const QString& text) { limitEdited(SettingsLimit::maxPendingPerGuest, text); });
  connect(&requests_->field(), &BoxedField::edited, this,
          [this](const QString& text) { limitEdited(SettingsLimit::maxRequestsPerGuest, text); });
  connect(&store_, &SessionStore::stateChanged, this, &PartyModeSettings::stateChanged);

  shownSettings_ = store_.state().settings;
  songs_->field().setText(QString::number(shownSettings_.maxPendingPerGuest));
  requests_->field().setText(QString::number(shownSettings_.maxRequestsPerGuest));
  refresh();
}

NumberRow& PartyModeSettings::limitRow(SettingsLimit field) const {
  return field == SettingsLimit::maxPendingPerGuest ? *songs_ : *requests_;
}

void PartyModeSettings::modePicked(int index) {
  const auto options = partyModeOptions();
  if (index < 0 || static_cast<std::size_t>(index) >= options.size()) return;
  store_.performHostAction(vinaro::action::SetMode{options[static_cast<std::size_t>(index)]});
  // A refused change leaves the state as it was, and the picker with it.
  refresh();
}

void PartyModeSettings::switched(const SwitchRowModel& row, bool on) {
  store_.performHostAction(vinaro::action::UpdateSettings{withSwitch(store_.state().settings, row.field, on)});
  refresh();
}

void PartyModeSettings::limitEdited(SettingsLimit field, const QString& text) {
  const vinaro::SessionSettings& settings = store_.state().settings;
  if (const auto value = limitToSend(text, limitOf(settings, field))) {
    store_.performHostAction(vinaro::action::UpdateSettings{withLimit(settings, field, *value)});
  }
  refresh();
}

void PartyModeSettings::stateChanged() {
  const vinaro::SessionSettings& settings = store_.state().settings;
  if (settings != shownSettings_) {
    shownSettings_ = settings;
    // A text being edited stays as typed while it still stands for the stored limit.
    for (const SettingsLimit field : {SettingsLimit::maxPendingPerGuest, SettingsLimit::maxRequestsPerGuest}) {
      BoxedField& box = limitRow(field).field();
      const QString text = refreshedLimitText(box.text(), limitOf(settings, field));
      if (text != box.text()) box.setText(text);
    }
  }
  refresh();
}

void PartyModeSettings::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Coming back on screen, a limit left empty or invalid shows the stored value again.
  const vinaro::SessionSettings& settings = store_.state().settings;
  for (const SettingsLimit field : {SettingsLimit::maxPendingPerGuest, SettingsLimit::maxRequestsPerGuest}) {
    BoxedField& box = limitRow(field).field();
    box.setText(refreshedLimitText(box.text(), limitOf(settings, field)));
  }
  refresh();
}

void PartyModeSettings::refresh() {
  model_ = PartyModeSettingsModel::make(store_.state());
  const bool collaboration = model_.mode == vinaro::PartyMode::collaboration;
  picker_->setCurrentIndex(collaboration ? 0 : 1);
  caption_->setText(QString::fromStdString(model_.caption));
  limitSwitch_->setContent(QString::fromStdString(model_.limitSwitch.title), QString());
  limitSwitch_->setOn(model_.limitSwitch.isOn);
  lastSwitch_->setContent(QString::fromStdString(model_.lastSwitch.title),
                          QString::fromStdString(model_.lastSwitch.caption.value_or(std::string())));
  lastSwitch_->setOn(model_.lastSwitch.isOn);

  NumberRow& shown = limitRow(model_.limit.field);
  NumberRow& other = limitRow(collaboration ? SettingsLimit::maxRequestsPerGuest : SettingsLimit::maxPendingPerGuest);
  shown.setTitle(QString::fromStdString(model_.limit.title));
  shown.field().setEnabled(model_.limit.isEnabled);
  shown.setVisible(true);
  other.setVisible(false);
  for (NumberRow* row : {songs_, requests_}) row->field().setValid(parseLimit(row->field().text()).has_value());
}

}  // namespace kovali
