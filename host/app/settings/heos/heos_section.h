#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <vector>

#include "app/settings/heos/heos_rows.h"
#include "app/settings/heos/heos_section_model.h"

class QComboBox;
class QLineEdit;
class QLabel;
class QPushButton;
class QVBoxLayout;

namespace kovali {

class HEOSController;
class PresetRow;
class Scheduler;
class Spinner;
class SwitchRow;
class VolumeControl;
class ZoneRow;

/// The "HEOS" section's content: the switch that makes HEOS follow the party and, while it is
/// on, the connection's state, the input this computer is plugged into, the zones and their
/// volumes, the presets and the last error. It only shows the controller's values and calls its
/// operations, so a change the controller does not make springs back.
class HEOSSection final : public QWidget {
  Q_OBJECT

 public:
  /// `heos` and `scheduler` (which turns the spinner) must outlive the view.
  HEOSSection(HEOSController& heos, Scheduler& scheduler, QWidget* parent = nullptr);

  const HEOSSectionModel& model() const { return model_; }
  SwitchRow& useHEOS() const { return *switch_; }
  QWidget& statusRow() const { return *statusRow_; }
  QLabel& statusText() const { return *status_; }
  QLabel& detailText() const { return *detail_; }
  QPushButton& searchAgain() const { return *searchAgain_; }
  Spinner& spinner() const { return *spinner_; }
  QWidget& inputRow() const { return *inputRow_; }
  QComboBox& inputPicker() const { return *inputs_; }
  QWidget& zonesBlock() const { return *zonesBlock_; }
  const std::vector<ZoneRow*>& zoneRows() const { return zoneRows_; }
  QWidget& allZonesRow() const { return *allZonesRow_; }
  VolumeControl& allZones() const { return *allZones_; }
  QWidget& presetsBlock() const { return *presetsBlock_; }
  const std::vector<PresetRow*>& presetRows() const { return presetRows_; }
  QPushButton& savePreset() const { return *savePreset_; }
  QLabel& error() const { return *error_; }
  QWidget& addressRow() const { return *addressRow_; }
  QLineEdit& address() const { return *address_; }
  /// The save-preset question while it is open.
  SavePresetDialog* saveDialog() const { return saveDialog_; }
  /// The apply question while it is open.
  QMessageBox* applyAlert() const { return applyAlert_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QWidget* makeStatusRow(Scheduler& scheduler);
  QWidget* makeInputRow();
  QWidget* makePresetsBlock();
  QWidget* makeAddressRow();
  void refresh();
  void showInputs();
  void showPresets();
  void openSaveDialog();
  void confirmApply(const QUuid& id);

  HEOSController& heos_;
  HEOSSectionModel model_;
  SwitchRow* switch_ = nullptr;
  QWidget* statusRow_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* detail_ = nullptr;
  QPushButton* searchAgain_ = nullptr;
  Spinner* spinner_ = nullptr;
  QWidget* inputRow_ = nullptr;
  QComboBox* inputs_ = nullptr;
  std::vector<HEOSSectionModel::InputOption> shownInputs_;  // what the input pop-up lists
  QWidget* zonesBlock_ = nullptr;
  QVBoxLayout* zoneList_ = nullptr;
  std::vector<ZoneRow*> zoneRows_;
  QWidget* allZonesRow_ = nullptr;
  VolumeControl* allZones_ = nullptr;
  QWidget* presetsBlock_ = nullptr;
  QLabel* presetsTitle_ = nullptr;
  QVBoxLayout* presetList_ = nullptr;
  std::vector<PresetRow*> presetRows_;
  QVBoxLayout* saveInset_ = nullptr;  // 4 above the button once presets are listed
  QPushButton* savePreset_ = nullptr;
  QLabel* error_ = nullptr;
  QWidget* addressRow_ = nullptr;
  QLineEdit* address_ = nullptr;
  QPointer<SavePresetDialog> saveDialog_;
  QPointer<QMessageBox> applyAlert_;
};

}  // namespace kovali
