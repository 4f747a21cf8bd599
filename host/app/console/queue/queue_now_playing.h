#pragma once

#include <QWidget>

#include "app/console/queue/queue_column_model.h"
#include "app/party/party_view_model.h"

class QStackedWidget;

namespace kovali {

class ArtworkLoader;
class ArtworkTile;
class BylineText;
class FittedLabel;
class PlainLabel;
class ProgressBar;
class SymbolButton;
class SymbolLabel;

/// The console's now-playing block: the current song with its artwork, byline, progress and
/// transport buttons and the transport notice below; or, while a live input is the source, that
/// input's card. It shows what it is given; its buttons only report presses.
class QueueNowPlaying final : public QWidget {
  Q_OBJECT

 public:
  /// The smallest fill of the progress bar for a positive fraction.
  static constexpr double minimumFill = 4;

  explicit QueueNowPlaying(ArtworkLoader& loader, QWidget* parent = nullptr);

  void setModel(const QueueColumnModel::NowPlaying& model, const std::optional<std::string>& transportNotice);
  void setProgress(const ProgressModel& progress);
  const ProgressModel& progress() const { return progress_; }

  SymbolButton& playPauseButton() const { return *playPause_; }
  SymbolButton& skipButton() const { return *skip_; }

 signals:
  void playPauseClicked();
  void skipClicked();

 private:
  QWidget* makePlaybackRow(ArtworkLoader& loader);
  QWidget* makeLiveInputRow();
  QWidget* makeProgress();

  QStackedWidget* pages_ = nullptr;
  ArtworkTile* artwork_ = nullptr;
  FittedLabel* title_ = nullptr;
  BylineText* byline_ = nullptr;
  ProgressBar* bar_ = nullptr;
  PlainLabel* elapsed_ = nullptr;
  PlainLabel* duration_ = nullptr;
  SymbolButton* playPause_ = nullptr;
  SymbolButton* skip_ = nullptr;
  SymbolLabel* notice_ = nullptr;
  FittedLabel* inputName_ = nullptr;
  PlainLabel* inputNote_ = nullptr;
  ProgressModel progress_;
};

}  // namespace kovali
