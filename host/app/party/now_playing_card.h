#pragma once

#include <QWidget>

#include "app/party/party_view_model.h"

namespace kovali {

class ArtworkLoader;
class ArtworkTile;
class BylineText;
class FittedLabel;
class ProgressBlock;

/// The party screen's big card: artwork, title, artist, who added the song and its progress.
class NowPlayingCard final : public QWidget {
  Q_OBJECT

 public:
  explicit NowPlayingCard(ArtworkLoader& loader, QWidget* parent = nullptr);

  void setModel(const NowPlayingModel& model);
  void setProgress(const ProgressModel& progress);
  /// The artwork, which casts the card's shadow.
  QWidget& tile() const;

 private:
  ArtworkTile* artwork_;
  FittedLabel* title_;
  FittedLabel* subtitle_;
  BylineText* addedBy_;
  ProgressBlock* progress_;
};

}  // namespace kovali
