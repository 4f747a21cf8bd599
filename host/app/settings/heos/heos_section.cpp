#include "app/settings/heos/heos_section.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <algorithm>

#include "app/look/controls/focus_ring.h"
#include "app/look/controls/spinner.h"
#include "app/look/keyed_widgets.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"
#include "app/settings/heos/heos_rows.h"
#include "app/settings/sound/volume_control.h"
#include "app/settings/widgets/settings_rows.h"
#include "heos/heos_controller.h"

namespace kovali {

namespace {

constexpr int kSmallControl = 16;

PlainLabel* text(const QString& value, double size, const QColor& color) {
  return new PlainLabel(value, systemFont(size), color);
}

QVBoxLayout* stack(QWidget* holder, int spacing) {
  auto* layout = new QVBoxLayout(holder);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(spacing);
  return layout;
}

/// A title at the left and `control` at the right edge.
QWidget* titledRow(const QString& title, QWidget* control) {
  auto* holder = new QWidget;
  auto* row = new QHBoxLayout(holder);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(text(title, 13, Palette::ink(appearanceOf(*holder))), 1);
  row->addWidget(control);
  return holder;
}

QPushButton* smallButton(const QString& title) {
  auto* button = new QPushButton(title);
  button->setFont(systemFont(11));
  button->setAttribute(Qt::WA_MacSmallSize);
  return button;
}

}  // namespace

HEOSSection::HEOSSection(HEOSController& heos, Scheduler& scheduler, QWidget* parent) : QWidget(parent), heos_(heos) {
  switch_ = new SwitchRow;
  switch_->setContent(QStringLiteral("Use HEOS"), QString());
  connect(switch_, &SwitchRow::switched, this, [this](bool on) { heos_.setStartWithParty(on); });

  zonesBlock_ = new QWidget;
  zoneList_ = stack(zonesBlock_, 6);
  zoneList_->addWidget(text(QStringLiteral("Zones"), 13, Palette::ink(appearanceOf(*this))));
  allZones_ = new VolumeControl;
  connect(allZones_, &VolumeControl::levelChosen, this, [this](int level) { heos_.setVolume(level); });
  allZonesRow_ = titledRow(QStringLiteral("All zones"), allZones_);
  error_ = text(QString(), 11, Palette::orange());
  error_->setWordWrap(true);

  QVBoxLayout* layout = stack(this, 12);
  layout->addWidget(switch_);
  layout->addWidget(makeStatusRow(scheduler));
  layout->addWidget(makeInputRow());
  layout->addWidget(zonesBlock_);
  layout->addWidget(allZonesRow_);
  layout->addWidget(makePresetsBlock());
  layout->addWidget(error_);
  layout->addWidget(makeAddressRow());

  for (const auto signal : {&HEOSController::statusChanged, &HEOSController::configurationChanged,
                            &HEOSController::playersChanged, &HEOSController::groupsChanged,
                            &HEOSController::nowPlayingChanged, &HEOSController::reportedVolumeChanged,
                            &HEOSController::zoneVolumesChanged, &HEOSController::inputsChanged,
                            &HEOSController::lastErrorChanged, &HEOSController::presetsChanged,
                            &HEOSController::changed}) {
    connect(&heos_, signal, this, &HEOSSection::refresh);
  }
  refresh();
}

QWidget* HEOSSection::makeStatusRow(Scheduler& scheduler) {
  statusRow_ = new QWidget;
  const Appearance appearance = appearanceOf(*this);
  status_ = text(QString(), 13, Palette::ink(appearance));
  detail_ = text(QString(), 11, Palette::inkSecondary(appearance));
  detail_->setWordWrap(true);
  searchAgain_ = smallButton(QStringLiteral("Search again"));
  connect(searchAgain_, &QPushButton::clicked, this, [this] { heos_.search(); });
  spinner_ = new Spinner(scheduler);
  spinner_->setFixedSize(kSmallControl, kSmallControl);
  auto* texts = new QVBoxLayout;
  texts->setSpacing(2);
  texts->addWidget(status_);
  texts->addWidget(detail_);
  auto* row = new QHBoxLayout(statusRow_);
  row->setContentsMargins(0, 0, 0, 0);
  row->addLayout(texts, 1);
  row->addWidget(searchAgain_, 0, Qt::AlignVCenter);
  row->addWidget(spinner_, 0, Qt::AlignVCenter);
  return statusRow_;
}

QWidget* HEOSSection::makeInputRow() {
  inputs_ = new QComboBox;
  inputs_->setAccessibleName(QStringLiteral("Input"));
  inputs_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  connect(inputs_, &QComboBox::activated, this, [this](int index) {
    const std::string id = inputs_->itemData(index).toString().toStdString();
    // The picker shows the controller's input again; a choice it takes comes back with it.
    showInputs();
    heos_.selectInput(id);
  });
  // The host is a computer of any make, so the row names it as such.
  inputRow_ = titledRow(QStringLiteral("This computer plugged into"), inputs_);
  return inputRow_;
}

QWidget* HEOSSection::makePresetsBlock() {
  presetsBlock_ = new QWidget;
  presetList_ = stack(presetsBlock_, 6);
  presetsTitle_ = text(QStringLiteral("Presets"), 13, Palette::ink(appearanceOf(*this)));
  presetList_->addWidget(presetsTitle_);
  savePreset_ = smallButton(QStringLiteral("Save as preset"));
  connect(savePreset_, &QPushButton::clicked, this, &HEOSSection::openSaveDialog);
  auto* saveHolder = new QWidget;
  saveInset_ = stack(saveHolder, 0);
  saveInset_->addWidget(savePreset_, 0, Qt::AlignLeft);
  presetList_->addWidget(saveHolder);
  return presetsBlock_;
}

QWidget* HEOSSection::makeAddressRow() {
  address_ = new QLineEdit;
  address_->setObjectName(QStringLiteral("heosAddress"));
  address_->setPlaceholderText(QStringLiteral("Automatic"));
  address_->setFont(systemFont(13));
  address_->setAlignment(Qt::AlignRight);
  address_->setFrame(false);
  address_->setTextMargins(focusRingRoom, focusRingRoom, focusRingRoom, focusRingRoom);
  address_->setFixedWidth(130);
  address_->setAccessibleName(QStringLiteral("HEOS address"));
  // Only Return commits; leaving the field keeps what the controller has.
  connect(address_, &QLineEdit::returnPressed, this, [this] { heos_.setHost(address_->text().toStdString()); });
  addressRow_ = titledRow(QStringLiteral("HEOS address"), address_);
  return addressRow_;
}

void HEOSSection::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  address_->setText(QString::fromStdString(heos_.configuration().host.value_or(std::string())));
  if (heos_.configuration().startWithParty && heos_.status().kind == HEOSController::Status::Kind::off) {
    heos_.search();
  }
}

void HEOSSection::refresh() {
  model_ = HEOSSectionModel::of(heos_);
  switch_->setOn(model_.useHEOS);
  statusRow_->setVisible(model_.useHEOS);
  status_->setText(QString::fromStdString(model_.statusText));
  detail_->setText(QString::fromStdString(model_.detail.value_or(std::string())));
  detail_->setVisible(model_.detail.has_value());
  searchAgain_->setVisible(model_.trailing == HEOSSectionModel::Trailing::searchAgain);
  spinner_->setVisible(model_.trailing == HEOSSectionModel::Trailing::spinner);

  for (QWidget* connectedOnly : {inputRow_, zonesBlock_, allZonesRow_, presetsBlock_}) {
    connectedOnly->setVisible(model_.connected);
  }
  showInputs();
  reconcileWidgets(zoneRows_, model_.zones, *zoneList_, 1, [this] {
    auto* row = new ZoneRow;
    connect(row, &ZoneRow::includedChosen, this,
            [this](std::int64_t id, bool included) { heos_.setZone(id, included); });
    connect(row, &ZoneRow::levelChosen, this, [this](std::int64_t id, int level) { heos_.setZoneVolume(id, level); });
    return row;
  });
  allZones_->setLevel(static_cast<int>(model_.volume));
  showPresets();
  error_->setText(QString::fromStdString(model_.error.value_or(std::string())));
  error_->setVisible(model_.useHEOS && model_.error.has_value());
  addressRow_->setVisible(model_.showsAddress);
}

void HEOSSection::showInputs() {
  const QSignalBlocker quiet(inputs_);
  // Refilled only when the options change, so an open pop-up keeps its highlight through other events.
  if (model_.inputOptions != shownInputs_) {
    shownInputs_ = model_.inputOptions;
    inputs_->clear();
    for (const auto& option : shownInputs_) {
      inputs_->addItem(QString::fromStdString(option.name), QString::fromStdString(option.id));
    }
  }
  const int selected = inputs_->findData(QString::fromStdString(model_.selectedInput));
  if (selected != inputs_->currentIndex()) inputs_->setCurrentIndex(selected);
}

void HEOSSection::showPresets() {
  presetsTitle_->setVisible(!model_.presets.empty());
  reconcileWidgets(presetRows_, model_.presets, *presetList_, 1, [this] {
    auto* row = new PresetRow;
    connect(row, &QAbstractButton::clicked, this, [this, row] { confirmApply(row->model().id); });
    connect(row, &PresetRow::deleteChosen, this, [this](const QUuid& id) { heos_.deletePreset(id); });
    return row;
  });
  savePreset_->setEnabled(model_.canSavePreset);
  saveInset_->setContentsMargins(0, model_.presets.empty() ? 0 : 4, 0, 0);
}

void HEOSSection::openSaveDialog() {
  if (saveDialog_) return;
  saveDialog_ = new SavePresetDialog(this);
  saveDialog_->setAttribute(Qt::WA_DeleteOnClose);
  connect(saveDialog_, &SavePresetDialog::saved, this, [this](const std::string& name) { heos_.savePreset(name); });
  saveDialog_->open();
}

void HEOSSection::confirmApply(const QUuid& id) {
  const auto& presets = heos_.presets();
  const auto preset = std::ranges::find(presets, id, &HEOSController::Preset::id);
  if (preset == presets.end() || applyAlert_) return;
  const QString title = QStringLiteral("Apply \u201C%1\u201D?").arg(QString::fromStdString(preset->name));
  applyAlert_ = new QMessageBox(QMessageBox::Question, title, title, QMessageBox::NoButton, this);
  applyAlert_->setTextFormat(Qt::PlainText);
  applyAlert_->setInformativeText(QString::fromStdString(heos_.summary(*preset)));
  QPushButton* apply = applyAlert_->addButton(QStringLiteral("Apply"), QMessageBox::AcceptRole);
  applyAlert_->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  applyAlert_->setDefaultButton(apply);
  applyAlert_->setAttribute(Qt::WA_DeleteOnClose);
  connect(applyAlert_, &QMessageBox::buttonClicked, this, [this, apply, pending = *preset](QAbstractButton* chosen) {
    if (chosen == apply) heos_.applyPreset(pending);
  });
  applyAlert_->open();
}

}  // namespace kovali
