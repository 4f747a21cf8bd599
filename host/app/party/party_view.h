#pragma once

#include <QWidget>

#include "app/party/party_snapshot.h"
#include "app/party/party_view_model.h"
#include "app/party/progress_ticker.h"
#include "platform/runtime/scheduler.h"

namespace kovali {

class ArtworkLoader;
class JoinBlock;
class LiveInputCard;
class NowPlayingCard;
class SymbolLabel;
class UpNextRow;

/// The full-window party screen, meant to be read from across the room: on a light panel what
/// plays and what comes next; on a dark one the brand, the join code and the party's figures.
/// It only shows what it is given: the owner hands it a new snapshot whenever the session, the
/// partygoers or the guest server change. The progress moves on by itself once a second.
class PartyView final : public QWidget {
  Q_OBJECT

 public:
  /// The share of the width taken by the light panel.
  static constexpr double leftShare = 0.58;

  PartyView(Scheduler& scheduler, ArtworkLoader& loader, QWidget* parent = nullptr);
  ~PartyView() override;

  void setSnapshot(PartySnapshot snapshot);
  const PartyViewModel& model() const { return model_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  class Panel;

  QWidget* makeLeftColumn(ArtworkLoader& loader);
  QWidget* makeRightColumn();
  void refreshProgress();
  void updateProgressTimer();

  Scheduler& scheduler_;
  vinaro::PlaybackState playback_;
  PartyViewModel model_;
  ProgressTicker progressTicker_;

  Panel* left_ = nullptr;
  Panel* right_ = nullptr;
  NowPlayingCard* nowPlaying_ = nullptr;
  LiveInputCard* liveInput_ = nullptr;
  UpNextRow* upNext_ = nullptr;
  JoinBlock* join_ = nullptr;
  SymbolLabel* partygoers_ = nullptr;
  SymbolLabel* mode_ = nullptr;
};

}  // namespace kovali
