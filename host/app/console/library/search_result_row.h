#pragma once

#include <QWidget>

#include "app/console/library/search_session.h"

class QPushButton;

namespace kovali {

class ArtworkLoader;
class ArtworkTile;
class FittedLabel;
class SymbolIcon;

/// A found song, album or playlist with its "Add" (or "Add all") button, or the check mark of
/// an addition just made.
class SearchResultRow final : public QWidget {
  Q_OBJECT

 public:
  explicit SearchResultRow(ArtworkLoader& loader, QWidget* parent = nullptr);

  void setModel(const SearchResultModel& model);
  const SearchResultModel& model() const { return model_; }
  QPushButton& addButton() const { return *add_; }
  bool showsCheckMark() const;

 signals:
  void addClicked(const std::string& id);

 private:
  SearchResultModel model_;
  ArtworkTile* artwork_;
  FittedLabel* title_;
  FittedLabel* subtitle_;
  QPushButton* add_;
  SymbolIcon* check_;
};

}  // namespace kovali
