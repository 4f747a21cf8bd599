#pragma once

#include <QWidget>

namespace kovali {

/// A one-pixel rule in ink at 12 %, across a column (horizontal) or between columns (vertical).
class Hairline final : public QWidget {
  Q_OBJECT

 public:
  explicit Hairline(Qt::Orientation orientation, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;
};

/// A plain fill of the surface colour with rounded corners, behind cards and rows.
class RoundedSurface : public QWidget {
  Q_OBJECT

 public:
  explicit RoundedSurface(double cornerRadius, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double cornerRadius_;
};

}  // namespace kovali
