#pragma once

#include <QWidget>

#include "platform/runtime/scheduler.h"

namespace kovali {

/// An indeterminate circular progress indicator in the widget's text colour; it turns while
/// shown.
class Spinner final : public QWidget {
  Q_OBJECT

 public:
  explicit Spinner(Scheduler& scheduler, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  Scheduler& scheduler_;
  RepeatingTimer timer_;
  int step_ = 0;
};

}  // namespace kovali
