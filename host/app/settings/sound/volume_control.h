#pragma once

#include <QWidget>

class QLabel;
class QSlider;

namespace kovali {

/// The whole level a volume slider at `position` (0 to 100, not stepped) stands for: the nearest
/// one, halves away from zero.
int levelAt(double position);

/// A volume slider over 0 to 100, 130 wide, and the level as "40%" beside it. Both show the
/// level last given to `setLevel`; the user's moves are reported through `levelChosen` and the
/// owner gives the level back when it takes it.
class VolumeControl final : public QWidget {
  Q_OBJECT

 public:
  /// Slider steps per level: the slider is continuous in effect, and a position between two
  /// levels goes to the nearer one.
  static constexpr int stepsPerLevel = 10;

  explicit VolumeControl(QWidget* parent = nullptr);

  void setLevel(int level);
  QSlider& slider() const { return *slider_; }
  QString levelText() const;

 signals:
  void levelChosen(int level);

 private:
  QSlider* slider_ = nullptr;
  QLabel* percent_ = nullptr;
};

}  // namespace kovali
