#pragma once

#include <QFrame>
#include <vector>

#include "app/console/library/search_session.h"

class QAbstractButton;
class QLineEdit;
class QVBoxLayout;

namespace kovali {

class ArtworkLoader;
class PlainLabel;
class SegmentedPicker;
class SearchResultRow;

/// The popover in which the DJ searches the music library for songs, albums or playlists and
/// adds what is found to the party. Each one starts empty and drops everything when it closes.
class SearchPopover final : public QFrame {
  Q_OBJECT

 public:
  static constexpr int width = 380;
  static constexpr int minimumListHeight = 260;

  SearchPopover(SessionStore& store, Scheduler& scheduler, ArtworkLoader& loader, QWidget* parent = nullptr);

  SearchSession& session() { return session_; }
  QLineEdit& field() const { return *field_; }
  /// The segment of `kind`.
  QAbstractButton* kindButton(SearchSession::Kind kind) const;
  const std::vector<SearchResultRow*>& rows() const { return rows_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void refresh();

  SearchSession session_;
  ArtworkLoader& loader_;
  QLineEdit* field_ = nullptr;
  SegmentedPicker* kinds_ = nullptr;
  PlainLabel* error_ = nullptr;
  QVBoxLayout* list_ = nullptr;
  std::vector<SearchResultRow*> rows_;
};

}  // namespace kovali
