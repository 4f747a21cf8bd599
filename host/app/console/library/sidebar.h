#pragma once

#include <QAbstractButton>
#include <QPointer>
#include <QWidget>

#include "app/console/library/search_popover.h"

namespace kovali {

class ArtworkLoader;
class PlaylistsSection;
class Scheduler;
class SessionStore;

/// The sidebar's search button: a rounded field-like button with the shortcut shown at its end.
class SearchButton final : public QAbstractButton {
  Q_OBJECT

 public:
  explicit SearchButton(QWidget* parent = nullptr);

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
};

/// The console's left-hand column: the search of the music library (the button, or Ctrl+F,
/// opens the search popover; only while the music is ready) and the library's playlists.
class Sidebar final : public QWidget {
  Q_OBJECT

 public:
  Sidebar(SessionStore& store, Scheduler& scheduler, ArtworkLoader& loader, QWidget* parent = nullptr);

  SearchButton& searchButton() const { return *search_; }
  PlaylistsSection& playlists() const { return *playlists_; }
  /// The search popover while it is open.
  SearchPopover* searchPopover() const { return popover_; }

 private:
  void followAvailability();
  void openSearch();

  SessionStore& store_;
  Scheduler& scheduler_;
  ArtworkLoader& loader_;
  SearchButton* search_ = nullptr;
  PlaylistsSection* playlists_ = nullptr;
  QPointer<SearchPopover> popover_;
};

}  // namespace kovali
