#pragma once

#include <QWidget>

class QLabel;

namespace kovali {

class RoutePicker;
class SpeakerPicker;

/// "Select AirPlay Speakers": a teal face with room for the AirPlay icon, under a route picker
/// that covers it, so a click anywhere on it opens the speaker menu.
class SpeakerPickerButton final : public QWidget {
  Q_OBJECT

 public:
  /// `picker` must outlive the button.
  explicit SpeakerPickerButton(SpeakerPicker& picker, QWidget* parent = nullptr);

  RoutePicker& routePicker() const { return *routePicker_; }
  QLabel& title() const { return *title_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* title_ = nullptr;
  RoutePicker* routePicker_ = nullptr;
};

}  // namespace kovali
