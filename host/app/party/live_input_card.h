#pragma once

#include <QWidget>

#include "app/party/party_view_model.h"

namespace kovali {

class FittedLabel;
class PlainLabel;

/// Stands in for the now-playing card while a live input plays instead of the queue.
class LiveInputCard final : public QWidget {
  Q_OBJECT

 public:
  explicit LiveInputCard(QWidget* parent = nullptr);

  void setModel(const LiveInputModel& model);
  /// The waveform tile, which casts the card's shadow.
  QWidget& tile() const;

 private:
  QWidget* tile_;
  FittedLabel* name_;
  PlainLabel* note_;
};

}  // namespace kovali
