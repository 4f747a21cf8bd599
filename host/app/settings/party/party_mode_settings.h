#pragma once

#include <QWidget>

#include "app/settings/party/party_mode_settings_model.h"
#include "model/session_settings.h"

class QLabel;

namespace kovali {

class NumberRow;
class SegmentedPicker;
class SessionStore;
class SwitchRow;

/// The "Party Mode" section's content: the mode picker, its caption and the rules of the mode.
/// Every change goes to the store at once as the host; the view shows the store's state, so a
/// change from a DJ's phone shows here too and a refused change springs back.
class PartyModeSettings final : public QWidget {
  Q_OBJECT

 public:
  /// `store` must outlive the view.
  explicit PartyModeSettings(SessionStore& store, QWidget* parent = nullptr);

  const PartyModeSettingsModel& model() const { return model_; }
  SegmentedPicker& picker() const { return *picker_; }
  SwitchRow& limitSwitch() const { return *limitSwitch_; }
  SwitchRow& lastSwitch() const { return *lastSwitch_; }
  /// The number row of `field`; only the current mode's row is shown.
  NumberRow& limitRow(SettingsLimit field) const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void modePicked(int index);
  void switched(const SwitchRowModel& row, bool on);
  void limitEdited(SettingsLimit field, const QString& text);
  void stateChanged();
  void refresh();

  SessionStore& store_;
  PartyModeSettingsModel model_;
  vinaro::SessionSettings shownSettings_;
  SegmentedPicker* picker_ = nullptr;
  QLabel* caption_ = nullptr;
  SwitchRow* limitSwitch_ = nullptr;
  NumberRow* songs_ = nullptr;
  NumberRow* requests_ = nullptr;
  SwitchRow* lastSwitch_ = nullptr;
};

}  // namespace kovali
