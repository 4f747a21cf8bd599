#pragma once

#include <QWidget>

#include "app/settings/advanced/air_play_engine.h"

class QLabel;

namespace kovali {

class Preferences;
class SegmentedPicker;

/// The "Advanced" section's content: the AirPlay engine choice and its caption. It writes the
/// "airPlayEngine" preference and nothing else.
class AdvancedSettings final : public QWidget {
  Q_OBJECT

 public:
  /// `preferences` must outlive the view.
  explicit AdvancedSettings(Preferences& preferences, QWidget* parent = nullptr);

  SegmentedPicker& picker() const { return *picker_; }
  QString caption() const;

 private:
  void refresh();

  Preferences& preferences_;
  SegmentedPicker* picker_ = nullptr;
  QLabel* caption_ = nullptr;
};

}  // namespace kovali
