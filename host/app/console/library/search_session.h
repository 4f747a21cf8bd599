#pragma once

#include <qcoro/qcorotask.h>

#include <QObject>
#include <set>
#include <string>
#include <vector>

#include "model/session_state.h"
#include "platform/library/music_items.h"
#include "platform/runtime/cancellable_task.h"
#include "protocol/command.h"

namespace kovali {

class Scheduler;
class SessionStore;

/// One row of the search results: a song, or an album or playlist.
struct SearchResultModel {
  std::string id;
  std::optional<vinaro::Track> track;  // a song's, for its artwork
  std::string title;
  std::string subtitle;
  bool isCollection = false;
  bool added = false;  // shows the check mark instead of the add button

  bool operator==(const SearchResultModel&) const = default;
};

/// "subtitle · N songs" of a found album or playlist, of the parts that it has.
std::string collectionSubtitle(const vinaro::PlaylistRef& ref);

/// What the search popover holds while it is open: the query and kind, the last results of each
/// list, the error line and the marks of what was just added. Typing searches 0.3 s after the
/// last keystroke; Return and a change of kind search at once. Additions go through the store as
/// the host. Main thread only; tasks it started end quietly once it is gone.
class SearchSession final : public QObject {
  Q_OBJECT

 public:
  using Kind = vinaro::Command::SearchKind;
  static constexpr double debounceSeconds = 0.3;
  static constexpr double markSeconds = 2;
  static constexpr int resultLimit = 25;

  SearchSession(SessionStore& store, Scheduler& scheduler, QObject* parent = nullptr);

  const std::string& query() const { return query_; }
  Kind kind() const { return kind_; }
  const std::vector<Song>& songs() const { return songs_; }
  const std::vector<vinaro::PlaylistRef>& collections() const { return collections_; }
  const std::optional<std::string>& error() const { return error_; }
  /// The rows of the list the kind shows.
  std::vector<SearchResultModel> results() const;

  /// The query was edited: searches once typing pauses.
  void setQuery(std::string query);
  /// Searches for another kind at once; the same kind changes nothing.
  void setKind(Kind kind);
  /// Searches the current query and kind at once, leaving a pending debounced search alone.
  void runSearch();
  /// Adds the song of the result row `id`.
  void add(const std::string& id);

 signals:
  void changed();

 private:
  QCoro::Task<> search(std::string query, Kind kind);
  void addSong(const Song& song);
  QCoro::Task<> addAll(vinaro::PlaylistRef ref);
  void markAdded(const std::string& id);
  QCoro::Task<> unmarkLater(std::string id);

  SessionStore& store_;
  Scheduler& scheduler_;
  std::string query_;
  Kind kind_ = Kind::songs;
  std::vector<Song> songs_;
  std::vector<vinaro::PlaylistRef> collections_;
  std::optional<std::string> error_;
  std::set<std::string> added_;
  CancellableTask searchTask_;
};

}  // namespace kovali
