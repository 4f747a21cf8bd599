#pragma once

#include <QPoint>
#include <QWidget>

#include "app/console/queue/queue_column_model.h"

namespace kovali {

class ArtworkLoader;
class ArtworkTile;
class BylineText;
class FittedLabel;
class PlainLabel;
class SymbolButton;

/// One song of "Up next": its place, artwork, title and byline, with "Play next" and "Remove".
/// Dragging it anywhere but on a button asks the list to move it.
class QueueRow final : public QWidget {
  Q_OBJECT

 public:
  explicit QueueRow(ArtworkLoader& loader, QWidget* parent = nullptr);

  void setModel(const QueueRowModel& model);
  /// Makes room for places of up to `digits` digits, the longest the list shows.
  void setPositionDigits(int digits);
  const QueueRowModel& model() const { return model_; }

  SymbolButton& playNextButton() const { return *playNext_; }
  SymbolButton& removeButton() const { return *remove_; }

 signals:
  void playNextClicked(const std::string& itemID);
  void removeClicked(const std::string& itemID);
  /// The mouse went down on the row and moved far enough to start a drag.
  void dragStarted(QueueRow* row);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;

 private:
  QueueRowModel model_;
  PlainLabel* position_;
  ArtworkTile* artwork_;
  FittedLabel* title_;
  BylineText* byline_;
  SymbolButton* playNext_;
  SymbolButton* remove_;
  std::optional<QPoint> pressedAt_;
};

}  // namespace kovali
