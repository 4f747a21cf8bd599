#pragma once

#include <QWidget>

class QPainter;

namespace kovali {

/// Draws the brand mark, a record with two hands, filling `square`; `dark` is the variant for
/// dark backgrounds.
void paintRecordMark(QPainter& painter, const QRectF& square, bool dark);

/// The brand mark as a square widget of a fixed side.
class RecordMark final : public QWidget {
  Q_OBJECT

 public:
  RecordMark(double size, bool dark, QWidget* parent = nullptr);

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  bool dark_;
};

}  // namespace kovali
