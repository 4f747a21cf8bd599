#include "app/settings/sound/air_play_settings.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/look/controls/switch_toggle.h"
#include "app/look/keyed_widgets.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"
#include "app/settings/sound/speaker_picker_button.h"
#include "app/settings/sound/volume_control.h"
#include "app/settings/widgets/settings_rows.h"
#include "session/store/session_store.h"

namespace kovali {

namespace {

QLabel* link() {
  auto* label = new PlainLabel;
  label->setFont(systemFont(12));
  label->setTextFormat(Qt::RichText);
  label->setText(QStringLiteral("<a href=\"%1\" style=\"color:%2; text-decoration:none\">Learn more about AirPlay</a>")
                     .arg(QString::fromLatin1(airPlayHelpURL()), Palette::teal().name()));
  label->setOpenExternalLinks(true);
  label->setCursor(Qt::PointingHandCursor);
  return label;
}

QHBoxLayout* line(QWidget* holder) {
  auto* row = new QHBoxLayout(holder);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(6);
  return row;
}

}  // namespace

const char* airPlayHelpURL() { return "https://kovali.app/airplay"; }

bool airPlaySwitchIsOn(const MultiRoomAudio::Status& status) {
  return status.kind == MultiRoomAudio::Status::Kind::on || status.kind == MultiRoomAudio::Status::Kind::starting;
}

SpeakerRow::SpeakerRow(QWidget* parent) : QWidget(parent) {
  auto* chosen = new QCheckBox;
  chosen->setChecked(true);
  chosen->setEnabled(false);
  name_ = new PlainLabel(QString(), systemFont(13), Palette::ink(appearanceOf(*this)));
  volume_ = new VolumeControl;
  connect(volume_, &VolumeControl::levelChosen, this, [this](int level) { emit levelChosen(speaker_.id, level); });
  QHBoxLayout* row = line(this);
  row->addWidget(chosen);
  row->addWidget(name_, 1);
  row->addWidget(volume_);
}

void SpeakerRow::setModel(MultiRoomAudio::Speaker speaker) {
  speaker_ = std::move(speaker);
  name_->setText(QString::fromStdString(speaker_.name));
  volume_->setVisible(speaker_.volume.has_value());
  if (speaker_.volume) volume_->setLevel(*speaker_.volume);
}

AirPlaySettings::AirPlaySettings(SessionStore& store, QWidget* parent)
    : QWidget(parent), store_(store), multiRoom_(store.multiRoom()) {
  switch_ = new SwitchRow;
  switch_->setContent(QStringLiteral("Use AirPlay"), QString());
  connect(switch_, &SwitchRow::switched, this, &AirPlaySettings::switched);
  summary_ = new PlainLabel(QString(), systemFont(11), Palette::orange());
  summary_->setWordWrap(true);

  speakerBlock_ = new QWidget;
  speakerList_ = new QVBoxLayout(speakerBlock_);
  speakerList_->setContentsMargins(0, 0, 0, 0);
  speakerList_->setSpacing(12);
  pickerButton_ = new SpeakerPickerButton(multiRoom_.speakerPicker());
  auto* pickerHolder = new QWidget;
  auto* pickerLine = new QHBoxLayout(pickerHolder);
  pickerLine->setContentsMargins(0, 0, 0, 6);
  pickerLine->addWidget(pickerButton_, 0, Qt::AlignHCenter);
  speakerList_->addWidget(pickerHolder);
  hostRow_ = new QWidget;
  playsHere_ = new QCheckBox;
  playsHere_->setAccessibleName(QStringLiteral("Plays on this computer"));
  connect(playsHere_, &QCheckBox::clicked, this, [this](bool on) {
    // What the engine keeps decides what the box shows.
    playsHere_->setChecked(!on);
    multiRoom_.setPlaysOnMac(on);
  });
  hostName_ = new PlainLabel(QString(), systemFont(13), Palette::ink(appearanceOf(*this)));
  hostVolume_ = new VolumeControl;
  connect(hostVolume_, &VolumeControl::levelChosen, this, [this](int level) { multiRoom_.setMacVolume(level); });
  QHBoxLayout* host = line(hostRow_);
  host->addWidget(playsHere_);
  host->addWidget(hostName_, 1);
  host->addWidget(hostVolume_);
  speakerList_->addWidget(hostRow_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(12);
  layout->addWidget(switch_);
  layout->addWidget(summary_);
  layout->addWidget(speakerBlock_);
  layout->addWidget(link(), 0, Qt::AlignLeft);

  connect(&multiRoom_, &MultiRoomAudio::changed, this, &AirPlaySettings::refresh);
  connect(&multiRoom_, &MultiRoomAudio::statusChanged, this, &AirPlaySettings::refresh);
  connect(&multiRoom_, &MultiRoomAudio::speakersChanged, this, &AirPlaySettings::refresh);
  connect(&multiRoom_, &MultiRoomAudio::playsOnMacChanged, this, &AirPlaySettings::refresh);
  connect(&multiRoom_, &MultiRoomAudio::macVolumeChanged, this, &AirPlaySettings::refresh);
  connect(&store_, &SessionStore::stateChanged, this, &AirPlaySettings::refresh);
  refresh();
}

void AirPlaySettings::switched(bool on) {
  if (on) {
    multiRoom_.start();
  } else {
    multiRoom_.stop();
    multiRoom_.setStatus(MultiRoomAudio::Status::off());
  }
  store_.audioSettingsChanged();
}

void AirPlaySettings::refresh() {
  const auto& status = multiRoom_.status();
  const bool supported = multiRoom_.isSupported();
  switch_->setOn(airPlaySwitchIsOn(status));
  switch_->toggle().setEnabled(supported);
  summary_->setText(QString::fromStdString(multiRoom_.summary()));
  summary_->setVisible(!supported || multiRoom_.summaryIsError());

  speakerBlock_->setVisible(status.kind == MultiRoomAudio::Status::Kind::on);
  reconcileWidgets(speakers_, multiRoom_.speakers(), *speakerList_, 1, [this] {
    auto* row = new SpeakerRow;
    connect(row, &SpeakerRow::levelChosen, this,
            [this](const std::string& id, int level) { multiRoom_.setSpeakerVolume(id, level); });
    return row;
  });
  playsHere_->setChecked(multiRoom_.playsOnMac());
  hostName_->setText(QString::fromStdString(store_.state().name));
  hostVolume_->setLevel(multiRoom_.macVolume());
}

}  // namespace kovali
