#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "audio/multi_room_audio.h"

class QCheckBox;
class QLabel;
class QVBoxLayout;

namespace kovali {

class SessionStore;
class SpeakerPickerButton;
class SwitchRow;
class VolumeControl;

/// The page the "Learn more about AirPlay" link opens.
const char* airPlayHelpURL();

/// Whether the "Use AirPlay" switch shows on: while multi-room is on or starting.
bool airPlaySwitchIsOn(const MultiRoomAudio::Status& status);

/// A speaker the party plays on: an always-on check box, its name and, when its level is
/// known, its volume.
class SpeakerRow final : public QWidget {
  Q_OBJECT

 public:
  explicit SpeakerRow(QWidget* parent = nullptr);

  void setModel(MultiRoomAudio::Speaker speaker);
  const MultiRoomAudio::Speaker& model() const { return speaker_; }
  VolumeControl& volume() const { return *volume_; }

 signals:
  void levelChosen(const std::string& id, int level);

 private:
  MultiRoomAudio::Speaker speaker_;
  QLabel* name_ = nullptr;
  VolumeControl* volume_ = nullptr;
};

/// The "AirPlay" section's content: the multi-room switch and its summary and, while it is
/// on, the speaker picker, the speakers and this computer's copy with their volumes, then the
/// help link.
class AirPlaySettings final : public QWidget {
  Q_OBJECT

 public:
  /// `store` must outlive the view.
  explicit AirPlaySettings(SessionStore& store, QWidget* parent = nullptr);

  SwitchRow& useAirPlay() const { return *switch_; }
  QLabel& summary() const { return *summary_; }
  /// "Select AirPlay Speakers", shown while multi-room is on.
  SpeakerPickerButton& pickerButton() const { return *pickerButton_; }
  const std::vector<SpeakerRow*>& speakers() const { return speakers_; }
  /// This computer's row: whether it plays along, its name, its volume.
  QWidget& hostRow() const { return *hostRow_; }
  QCheckBox& playsHere() const { return *playsHere_; }
  VolumeControl& hostVolume() const { return *hostVolume_; }

 private:
  void switched(bool on);
  void refresh();

  SessionStore& store_;
  MultiRoomAudio& multiRoom_;
  SwitchRow* switch_ = nullptr;
  QLabel* summary_ = nullptr;
  QWidget* speakerBlock_ = nullptr;
  SpeakerPickerButton* pickerButton_ = nullptr;
  QVBoxLayout* speakerList_ = nullptr;
  std::vector<SpeakerRow*> speakers_;
  QWidget* hostRow_ = nullptr;
  QCheckBox* playsHere_ = nullptr;
  QLabel* hostName_ = nullptr;
  VolumeControl* hostVolume_ = nullptr;
};

}  // namespace kovali
