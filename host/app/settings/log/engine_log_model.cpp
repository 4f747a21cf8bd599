#include "app/settings/log/engine_log_model.h"

#include <algorithm>

#include "app/settings/log/engine_log_text.h"

namespace kovali {

EngineLogModel::EngineLogModel(PlayerEngine& player, QLocale locale, QObject* parent)
    : QAbstractListModel(parent), player_(player), locale_(std::move(locale)), lines_(player.log()) {
  connect(&player_, &PlayerEngine::logChanged, this, &EngineLogModel::follow);
}

int EngineLogModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant EngineLogModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const auto& line = lines_[static_cast<std::size_t>(index.row())];
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return logRowText(line, locale_);
  return {};
}

void EngineLogModel::follow() {
  const auto& log = player_.log();
  if (shiftTo(log)) return;
  beginResetModel();
  lines_ = log;
  endResetModel();
}

bool EngineLogModel::shiftTo(const std::vector<PlayerEngine::LogLine>& log) {
  // Lines keep their ids, so the first line still present tells how many went at the top.
  std::size_t dropped = lines_.size();
  if (!log.empty()) {
    const auto first = std::find_if(lines_.begin(), lines_.end(),
                                    [&](const PlayerEngine::LogLine& line) { return line.id == log.front().id; });
    if (first == lines_.end() && !lines_.empty()) return false;
    dropped = static_cast<std::size_t>(first - lines_.begin());
  }
  const std::size_t kept = lines_.size() - dropped;
  if (kept > log.size() ||
      !std::equal(lines_.begin() + static_cast<std::ptrdiff_t>(dropped), lines_.end(), log.begin())) {
    return false;
  }
  if (dropped > 0) {
    beginRemoveRows({}, 0, static_cast<int>(dropped) - 1);
    lines_.erase(lines_.begin(), lines_.begin() + static_cast<std::ptrdiff_t>(dropped));
    endRemoveRows();
  }
  if (log.size() > kept) {
    beginInsertRows({}, static_cast<int>(kept), static_cast<int>(log.size()) - 1);
    lines_.insert(lines_.end(), log.begin() + static_cast<std::ptrdiff_t>(kept), log.end());
    endInsertRows();
  }
  return true;
}

}  // namespace kovali
