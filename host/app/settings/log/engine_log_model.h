#pragma once

#include <QAbstractListModel>
#include <QLocale>
#include <vector>

#include "music/player_engine.h"

namespace kovali {

/// The player engine's log as a list, oldest line first, one row per line. It follows the log
/// row by row (lines dropped at the top, lines added at the bottom) so that views keep their
/// place and selection while the log moves.
class EngineLogModel final : public QAbstractListModel {
  Q_OBJECT

 public:
  /// `player` must outlive the model; rows show times as `locale` writes them.
  explicit EngineLogModel(PlayerEngine& player, QLocale locale = QLocale(), QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

  const std::vector<PlayerEngine::LogLine>& lines() const { return lines_; }

 private:
  void follow();
  /// Applies the new log as rows removed at the top and added at the bottom; false when the new
  /// log is not the old one shifted.
  bool shiftTo(const std::vector<PlayerEngine::LogLine>& log);

  PlayerEngine& player_;
  QLocale locale_;
  std::vector<PlayerEngine::LogLine> lines_;
};

}  // namespace kovali
