#pragma once

#include <QWidget>

#include "app/party/party_view_model.h"

namespace kovali {

class PlainLabel;
class ProgressBar;

/// The song's progress: a bar, and below it the elapsed time, the playback status and the
/// song's length.
class ProgressBlock final : public QWidget {
  Q_OBJECT

 public:
  explicit ProgressBlock(QWidget* parent = nullptr);

  void setModel(const ProgressModel& model);
  const ProgressModel& model() const { return model_; }

 private:
  ProgressModel model_;
  ProgressBar* bar_;
  PlainLabel* elapsed_;
  PlainLabel* status_;
  PlainLabel* duration_;
};

}  // namespace kovali
