#include "app/settings/general/general_settings.h"

#include <QHBoxLayout>
#include <QShowEvent>
#include <QVBoxLayout>

#include "app/look/palette.h"
#include "app/look/symbols/symbol_icon.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"
#include "app/settings/widgets/boxed_field.h"
#include "session/participants/dj_pin.h"

namespace kovali {

GeneralSettings::GeneralSettings(DJPIN& djPIN, QWidget* parent) : QWidget(parent), djPIN_(djPIN) {
  const Appearance appearance = appearanceOf(*this);
  footer_ = new PlainLabel(QString(), systemFont(11), Palette::inkSecondary(appearance), this);
  footer_->setObjectName(QStringLiteral("pinFooter"));
  footer_->setWordWrap(true);
  failure_ = new PlainLabel(QString(), systemFont(11), Palette::orange(), this);
  failure_->setObjectName(QStringLiteral("pinFailure"));
  failure_->setWordWrap(true);
  warning_ = new SymbolIcon(Symbol::exclamationCircle, 14, Palette::orange(), this);
  field_ = new BoxedField(16, filterPIN, this);
  field_->setAccessibleName(QStringLiteral("DJ PIN"));
  field_->setText(QString::fromStdString(djPIN_.load()));
  connect(field_, &BoxedField::edited, this, &GeneralSettings::pinEdited);

  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  texts->addWidget(new PlainLabel(QStringLiteral("DJ PIN"), systemFont(13), Palette::ink(appearance), this));
  texts->addWidget(footer_);
  texts->addWidget(failure_);
  auto* entry = new QHBoxLayout;
  entry->setSpacing(8);
  entry->addWidget(warning_, 0, Qt::AlignVCenter);
  entry->addWidget(field_, 0, Qt::AlignVCenter);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addLayout(texts, 1);
  row->addLayout(entry);
  refresh();
}

void GeneralSettings::pinEdited(const QString& pin) {
  const std::string text = pin.toStdString();
  // An invalid text is not saved and deletes nothing: the store keeps the last valid PIN.
  if (DJPIN::isValid(text)) {
    const auto error = djPIN_.save(text);
    saveFailure_ = error ? std::optional(error->description) : std::nullopt;
  }
  refresh();
}

void GeneralSettings::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  // Coming back on screen, the field shows the PIN that works now, not a text left half typed.
  field_->setText(QString::fromStdString(djPIN_.load()));
  refresh();
}

void GeneralSettings::refresh() {
  model_ = GeneralSettingsModel::make(field_->text().toStdString(), saveFailure_);
  footer_->setText(QString::fromStdString(model_.footer));
  failure_->setText(QString::fromStdString(model_.failure.value_or(std::string())));
  failure_->setVisible(model_.failure.has_value());
  warning_->setVisible(model_.showsWarning);
  field_->setValid(model_.looksValid);
}

}  // namespace kovali
