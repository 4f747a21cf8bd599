#pragma once

#include <QWidget>

class QDialog;

namespace kovali {

/// The window behind an open sheet, dimmed, so that the sheet reads as lying on top of it and
/// what it covers as covered: a layer over the whole window of the sheet's parent, kept over it
/// as the window resizes, gone when the sheet closes.
class SheetScrim final : public QWidget {
  Q_OBJECT

 public:
  static constexpr double opacity = 0.2;

  explicit SheetScrim(QDialog& sheet);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace kovali
