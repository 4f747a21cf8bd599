#pragma once

#include <QImage>
#include <QPointer>
#include <QWidget>

namespace kovali {

/// The soft shadow under one of the party screen's big tiles. A widget cannot paint outside its
/// own rectangle, so the shadow is a widget of its own in `host`, an ancestor with room around
/// the tile, kept under the tile wherever the layouts move it.
class TileShadow final : public QWidget {
  Q_OBJECT

 public:
  TileShadow(QWidget& tile, QWidget& host, double cornerRadius);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void follow();
  const QImage& shadowImage();

  QPointer<QWidget> tile_;
  double cornerRadius_;
  QImage shadow_;  // for the tile's current size
};

}  // namespace kovali
