#pragma once

#include <QPoint>
#include <QWidget>

#include "app/console/queue/queue_column_model.h"

namespace kovali {

class ArtworkLoader;
class ArtworkTile;
class BylineText;
class FittedLabel;
class SymbolButton;

/// A row's place in the queue, right-aligned in the width the list chooses. It is drawn rather
/// than a label: a change at the front of a long queue renumbers every row, and a row out of
/// view then costs no more than its new number.
class PlaceNumber final : public QWidget {
  Q_OBJECT

 public:
  explicit PlaceNumber(QWidget* parent = nullptr);

  void setText(const QString& text);
  const QString& text() const { return text_; }

 protected:
  void changeEvent(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QString text_;
};

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
  /// One line of title and one of byline at any width: a long list lays its rows out without
  /// measuring every title.
  bool hasHeightForWidth() const override { return false; }

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
  PlaceNumber* position_;
  ArtworkTile* artwork_;
  FittedLabel* title_;
  BylineText* byline_;
  SymbolButton* playNext_;
  SymbolButton* remove_;
  std::optional<QPoint> pressedAt_;
};

}  // namespace kovali
