#pragma once

#include <QColor>
#include <QWidget>

#include "app/look/palette.h"
#include "app/party/party_view_model.h"

namespace kovali {

/// A song's progress as a capsule track with a capsule fill over it, the fill orange while the
/// song plays. Its owner gives the height, the smallest fill of a positive fraction, and the
/// track's and the paused fill's colours for each appearance.
class ProgressBar final : public QWidget {
 public:
  struct Look {
    int height = 6;
    double minimumFill = ProgressModel::minimumFill;
    QColor (*track)(Appearance) = nullptr;
    QColor (*pausedFill)(Appearance) = nullptr;
  };

  explicit ProgressBar(Look look, QWidget* parent = nullptr);

  void setProgress(const ProgressModel& progress);
  const ProgressModel& progress() const { return progress_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  Look look_;
  ProgressModel progress_;
};

}  // namespace kovali
