#pragma once

#include <QAbstractButton>

namespace kovali {

/// An on/off switch: a rounded track, teal while on, with a white knob at the end it is set to.
/// Clicking it toggles it and emits `toggled`, like any checkable button.
class SwitchToggle final : public QAbstractButton {
  Q_OBJECT

 public:
  explicit SwitchToggle(QWidget* parent = nullptr);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace kovali
