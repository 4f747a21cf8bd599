#pragma once

#include <QWidget>
#include <vector>

#include "app/party/party_view_model.h"

namespace kovali {

class ArtworkLoader;
class PlainLabel;
class UpNextCard;

/// The next songs of the queue as small cards, with the count of those not shown. A card stays
/// with its queue item while the queue moves, so its artwork is not fetched again.
class UpNextRow final : public QWidget {
  Q_OBJECT

 public:
  explicit UpNextRow(ArtworkLoader& loader, QWidget* parent = nullptr);

  void setModel(const UpNextModel& model);
  const std::vector<UpNextCard*>& cards() const { return cards_; }

 private:
  ArtworkLoader& loader_;
  PlainLabel* empty_;
  std::vector<UpNextCard*> cards_;  // in queue order
  PlainLabel* more_;
};

}  // namespace kovali
