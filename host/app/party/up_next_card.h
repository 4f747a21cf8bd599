#pragma once

#include <QWidget>

#include "app/party/party_view_model.h"

namespace kovali {

class ArtworkLoader;
class ArtworkTile;
class BylineText;
class FittedLabel;

/// One queued song: small artwork, title, artist and who added it, on a white card.
class UpNextCard final : public QWidget {
  Q_OBJECT

 public:
  explicit UpNextCard(ArtworkLoader& loader, QWidget* parent = nullptr);

  void setModel(const UpNextCardModel& model);
  const std::string& itemID() const { return itemID_; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  std::string itemID_;
  ArtworkTile* artwork_;
  FittedLabel* title_;
  BylineText* byline_;
};

}  // namespace kovali
