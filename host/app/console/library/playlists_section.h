#pragma once

#include <qcoro/qcorotask.h>

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QWidget>
#include <optional>
#include <string>
#include <vector>

#include "model/session_state.h"
class QVBoxLayout;

namespace kovali {

class PlainLabel;
class SessionStore;

/// A library playlist in the sidebar: its name in one line, the whole row clickable, the full
/// name as its tooltip.
class PlaylistRow final : public QAbstractButton {
  Q_OBJECT

 public:
  explicit PlaylistRow(QWidget* parent = nullptr);

  void setModel(const vinaro::PlaylistRef& ref);
  const vinaro::PlaylistRef& model() const { return ref_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  vinaro::PlaylistRef ref_;
};

/// What the playlists section holds: the library's playlists last loaded, whether a load ended,
/// and the last notice or error.
struct PlaylistsState {
  std::vector<vinaro::PlaylistRef> refs;
  bool hasLoaded = false;
  std::optional<std::string> message;

  /// The text standing in the list's place while there are no playlists.
  std::string placeholder() const;
  /// The notice shown in the footer; only while playlists are listed.
  std::optional<std::string> footerNotice() const;

  bool operator==(const PlaylistsState&) const = default;
};

/// The title of the confirmation before adding `name`'s songs.
std::string addPlaylistTitle(const std::string& name);

/// The sidebar's list of the library's playlists. It loads them each time it comes on screen and
/// when the music becomes ready; a click on one asks, then appends all its songs to the queue.
class PlaylistsSection final : public QWidget {
  Q_OBJECT

 public:
  explicit PlaylistsSection(SessionStore& store, QWidget* parent = nullptr);
  ~PlaylistsSection() override;

  const PlaylistsState& state() const { return state_; }
  const std::vector<PlaylistRow*>& rows() const { return rows_; }
  /// The confirmation while it is open.
  QMessageBox* confirmation() const { return confirmation_; }

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  bool musicIsReady() const;
  void readinessChanged();
  QCoro::Task<> load();
  void confirmAdd(const vinaro::PlaylistRef& ref);
  QCoro::Task<> add(vinaro::PlaylistRef ref);
  void setState(PlaylistsState state);

  SessionStore& store_;
  PlaylistsState state_;
  bool wasReady_ = false;
  bool shownBefore_ = false;
  QVBoxLayout* list_ = nullptr;
  PlainLabel* placeholder_ = nullptr;
  PlainLabel* notice_ = nullptr;
  std::vector<PlaylistRow*> rows_;
  QPointer<QMessageBox> confirmation_;
};

}  // namespace kovali
