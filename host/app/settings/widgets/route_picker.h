#pragma once

#include <QRect>
#include <QWidget>
#include <optional>

class QMenu;
class QToolButton;

namespace kovali {

class RouteButton;
class SpeakerPicker;

/// The route picker of the settings screen: a borderless button whose menu lists the AirPlay
/// speakers with check marks, placed so that its icon is centred on `iconCenterX` and it reaches
/// the right edge. It draws nothing but its icon, and its menu opens under the part of it that
/// shows. Closing the menu tells the picker the speakers were picked.
class RoutePicker final : public QWidget {
  Q_OBJECT

 public:
  RoutePicker(SpeakerPicker& picker, int iconCenterX, std::optional<int> pickerHeight, QWidget* parent = nullptr);

  /// Where the button goes in a container of `size`: as wide as twice the distance from
  /// `iconCenterX` to the right edge (none when that is negative), ending at the right edge,
  /// `pickerHeight` tall (the whole height when none or taller) and centred vertically.
  static QRect buttonFrame(QSize size, int iconCenterX, std::optional<int> pickerHeight);

  void setIconCenterX(int x);
  void setPickerHeight(std::optional<int> height);
  QToolButton* button() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void placeButton();
  void fillMenu();

  SpeakerPicker& picker_;
  int iconCenterX_;
  std::optional<int> pickerHeight_;
  RouteButton* button_;
  QMenu* menu_;
};

}  // namespace kovali
