#include "app/settings/widgets/settings_rows.h"

#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/look/controls/switch_toggle.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"
#include "app/settings/party/party_mode_settings_model.h"
#include "app/settings/widgets/boxed_field.h"

namespace kovali {

SwitchRow::SwitchRow(QWidget* parent) : QWidget(parent) {
  const Appearance appearance = appearanceOf(*this);
  title_ = new PlainLabel(QString(), systemFont(13), Palette::ink(appearance), this);
  caption_ = new PlainLabel(QString(), systemFont(11), Palette::inkSecondary(appearance), this);
  caption_->setWordWrap(true);
  toggle_ = new SwitchToggle(this);
  connect(toggle_, &SwitchToggle::clicked, this, [this](bool on) {
    // The owner's state decides; the switch shows it again at the next `setOn`.
    toggle_->setChecked(!on);
    emit switched(on);
  });

  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  texts->addWidget(title_);
  texts->addWidget(caption_);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addLayout(texts, 1);
  row->addWidget(toggle_, 0, Qt::AlignVCenter);
}

void SwitchRow::setContent(const QString& title, const QString& caption) {
  title_->setText(title);
  toggle_->setAccessibleName(title);
  caption_->setText(caption);
  caption_->setVisible(!caption.isEmpty());
}

void SwitchRow::setOn(bool on) { toggle_->setChecked(on); }

QString SwitchRow::title() const { return title_->text(); }

QString SwitchRow::caption() const { return caption_->text(); }

NumberRow::NumberRow(QWidget* parent) : QWidget(parent) {
  title_ = new PlainLabel(QString(), systemFont(13), Palette::ink(appearanceOf(*this)), this);
  field_ = new BoxedField(16, filterLimit, this);
  field_->setPlaceholderText(QString::fromStdString(std::string(PartyModeSettingsModel::limitPlaceholder)));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(title_, 1);
  row->addWidget(field_, 0, Qt::AlignVCenter);
}

void NumberRow::setTitle(const QString& title) {
  title_->setText(title);
  field_->setAccessibleName(title);
}

QString NumberRow::title() const { return title_->text(); }

}  // namespace kovali
