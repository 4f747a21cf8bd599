#pragma once

#include <qcoro/qcorotask.h>

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include "app/console/console_snapshot.h"
#include "app/console/queue/guests_sheet.h"
#include "app/console/queue/queue_column_model.h"
#include "app/party/progress_ticker.h"
#include "platform/runtime/scheduler.h"

namespace kovali {

class ArtworkLoader;
class FittedLabel;
class PlainLabel;
class QueueNowPlaying;
class SessionStore;
class SymbolButton;
class SymbolLabel;
class UpNextList;

/// The console's middle column, the DJ's main controls: the party's name and status with the
/// partygoer count, the song playing now with its transport, "Up next" with play next, remove,
/// reordering and clearing, and the last failed host action. It shows the snapshots it is handed
/// and changes the party only through the store, as the host.
class QueueColumn final : public QWidget {
  Q_OBJECT

 public:
  QueueColumn(SessionStore& store, Scheduler& scheduler, ArtworkLoader& loader, QWidget* parent = nullptr);
  ~QueueColumn() override;

  void setSnapshot(const ConsoleSnapshot& snapshot);
  /// What the column shows; its rows are the list's (`upNext().rowModels()`).
  const QueueColumnModel& model() const { return model_; }

  QueueNowPlaying& nowPlaying() const { return *nowPlaying_; }
  UpNextList& upNext() const { return *upNext_; }
  SymbolButton& partygoersButton() const { return *partygoers_; }
  SymbolButton& clearButton() const { return *clear_; }
  /// The guests sheet while it is open.
  GuestsSheet* guestsSheet() const { return guests_; }
  /// The clear confirmation while it is open.
  QMessageBox* clearConfirmation() const { return confirmation_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  QWidget* makeHeader();
  QWidget* makeUpNextHeader();
  void showGuests();
  void confirmClear();
  void clearQueue();
  /// Moves the song of queue item `itemID` to where a drop before the row `destination` of the
  /// rows `shownIDs` the list showed puts it.
  void move(const std::string& itemID, const std::vector<std::string>& shownIDs, std::size_t destination);
  QCoro::Task<> hideClearNoticeLater();
  void showClearNotice();
  void refreshProgress();
  void updateProgressTimer();

  SessionStore& store_;
  Scheduler& scheduler_;
  vinaro::PlaybackState playback_;
  QueueColumnModel model_;
  ProgressTicker progressTicker_;
  std::optional<std::string> clearNotice_;

  FittedLabel* name_ = nullptr;
  FittedLabel* status_ = nullptr;
  PlainLabel* separator_ = nullptr;
  SymbolButton* partygoers_ = nullptr;
  QueueNowPlaying* nowPlaying_ = nullptr;
  PlainLabel* upNextTitle_ = nullptr;
  SymbolLabel* clearNoticeLabel_ = nullptr;
  SymbolButton* clear_ = nullptr;
  UpNextList* upNext_ = nullptr;
  PlainLabel* error_ = nullptr;
  QPointer<GuestsSheet> guests_;
  QPointer<QMessageBox> confirmation_;
};

}  // namespace kovali
