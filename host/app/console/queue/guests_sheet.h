#pragma once

#include <QDialog>

#include "app/console/queue/guests_sheet_model.h"

class QVBoxLayout;

namespace kovali {

class PlainLabel;

/// The sheet over the console that lists the partygoers connected now: name, DJ or guest, and
/// how many of their songs wait in the queue. It only reads; "Done" (or Return) closes it.
class GuestsSheet final : public QDialog {
  Q_OBJECT

 public:
  static constexpr int width = 360;
  static constexpr double edgeOpacity = 0.3;

  explicit GuestsSheet(QWidget* parent = nullptr);

  void setModel(const GuestsSheetModel& model);
  const GuestsSheetModel& model() const { return model_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QWidget* makeRow(const GuestRowModel& row);

  GuestsSheetModel model_;
  PlainLabel* title_ = nullptr;
  PlainLabel* empty_ = nullptr;
  QWidget* list_ = nullptr;
  QVBoxLayout* rows_ = nullptr;
};

}  // namespace kovali
