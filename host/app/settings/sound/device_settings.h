#pragma once

#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "app/settings/sound/device_row.h"
#include "audio/audio_inputs.h"
#include "audio/audio_output.h"
#include "model/session_state.h"

class QLabel;

namespace kovali {

class SessionStore;

/// The source rows: the music library first (its id empty), then each capture input; the one
/// the party plays is selected, none when the playing input is no longer listed.
std::vector<DeviceRowModel> sourceRows(const std::optional<vinaro::LiveInput>& input,
                                       const AudioInputs::Devices& devices);
/// The output rows, the default output selected.
std::vector<DeviceRowModel> outputRows(const AudioOutput::Devices& devices, std::uint32_t defaultID);

/// The "Source" section's content: what the party plays, the music library or a live input.
/// A click asks the store to switch; the rows follow the party's state.
class SourceSettings final : public QWidget {
  Q_OBJECT

 public:
  /// `store` must outlive the view.
  explicit SourceSettings(SessionStore& store, QWidget* parent = nullptr);

  DeviceList& list() const { return *list_; }
  QLabel& error() const { return *error_; }

 private:
  void refresh();
  void choose(const std::string& id);

  SessionStore& store_;
  DeviceList* list_ = nullptr;
  QLabel* error_ = nullptr;
};

/// The "Sound output" section's content: the output devices, the system's default checked; a
/// click makes a device the default.
class OutputSettings final : public QWidget {
  Q_OBJECT

 public:
  /// `output` must outlive the view.
  explicit OutputSettings(AudioOutput& output, QWidget* parent = nullptr);

  DeviceList& list() const { return *list_; }
  QLabel& empty() const { return *empty_; }
  QLabel& error() const { return *error_; }

 private:
  void refresh();
  void choose(const std::string& id);

  AudioOutput& output_;
  QLabel* empty_ = nullptr;
  DeviceList* list_ = nullptr;
  QLabel* error_ = nullptr;
};

}  // namespace kovali
