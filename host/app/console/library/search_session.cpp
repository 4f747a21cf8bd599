#include "app/console/library/search_session.h"

#include <QPointer>
#include <algorithm>
#include <iterator>

#include "app/console/library/collection_adding.h"
#include "session/store/session_store.h"

namespace kovali {

std::string collectionSubtitle(const vinaro::PlaylistRef& ref) {
  std::string text = ref.subtitle.value_or(std::string());
  if (ref.trackCount) {
    if (!text.empty()) text += " \u00B7 ";
    text += std::to_string(*ref.trackCount) + " songs";
  }
  return text;
}

namespace {

template <class Item>
using CatalogSearch = QCoro::Task<MusicResult<std::vector<Item>>> (MusicService::*)(std::string, int);

/// The albums or playlists found for `query`, as the party refers to them.
template <class Item>
QCoro::Task<MusicResult<std::vector<vinaro::PlaylistRef>>> findCollections(
    MusicService& music, std::string query, CatalogSearch<Item> search, vinaro::PlaylistRef (*reference)(const Item&)) {
  auto found = co_await (music.*search)(std::move(query), SearchSession::resultLimit);
  if (!found) co_return std::move(found).error();
  std::vector<vinaro::PlaylistRef> refs;
  std::ranges::transform(found.value(), std::back_inserter(refs), reference);
  co_return refs;
}

}  // namespace

SearchSession::SearchSession(SessionStore& store, Scheduler& scheduler, QObject* parent)
    : QObject(parent), store_(store), scheduler_(scheduler) {}

std::vector<SearchResultModel> SearchSession::results() const {
  std::vector<SearchResultModel> rows;
  if (kind_ == Kind::songs) {
    for (const Song& song : songs_) {
      rows.push_back(
          {song.id, MusicService::track(song), song.title, song.artistName, false, added_.contains(song.id)});
    }
    return rows;
  }
  for (const auto& ref : collections_) {
    rows.push_back({ref.id, std::nullopt, ref.name, collectionSubtitle(ref), true, added_.contains(ref.id)});
  }
  return rows;
}

void SearchSession::setQuery(std::string query) {
  query_ = std::move(query);
  searchTask_.start([this](CancellationToken token) -> QCoro::Task<> {
    const QPointer<SearchSession> self(this);
    co_await scheduler_.sleep(debounceSeconds, token);
    if (!self || token.isCancelled()) co_return;
    runSearch();
  });
}

void SearchSession::setKind(Kind kind) {
  if (kind == kind_) return;
  kind_ = kind;
  emit changed();
  runSearch();
}

void SearchSession::runSearch() { (void)search(query_, kind_); }

QCoro::Task<> SearchSession::search(std::string query, Kind kind) {
  const QPointer<SearchSession> self(this);
  MusicService& music = store_.music();
  std::optional<MusicError> failure;
  // Answers are applied as they arrive, whatever the query and kind are by then.
  if (kind == Kind::songs) {
    auto found = co_await music.searchSongs(std::move(query), resultLimit);
    if (!self) co_return;
    if (found) songs_ = std::move(found).value();
    if (!found) failure = found.error();
  } else {
    MusicResult<std::vector<vinaro::PlaylistRef>> found = std::vector<vinaro::PlaylistRef>{};
    if (kind == Kind::albums) {
      found = co_await findCollections(music, std::move(query), &MusicService::searchAlbums, &MusicService::albumRef);
    } else {
      found =
          co_await findCollections(music, std::move(query), &MusicService::searchPlaylists, &MusicService::playlistRef);
    }
    if (!self) co_return;
    if (found) collections_ = std::move(found).value();
    if (!found) failure = found.error();
  }
  error_ = failure ? std::optional(failure->description) : std::nullopt;
  emit changed();
}

void SearchSession::add(const std::string& id) {
  if (kind_ == Kind::songs) {
    const auto song = std::ranges::find(songs_, id, &Song::id);
    if (song != songs_.end()) addSong(*song);
    return;
  }
  const auto ref = std::ranges::find(collections_, id, &vinaro::PlaylistRef::id);
  if (ref != collections_.end()) (void)addAll(*ref);
}

void SearchSession::addSong(const Song& song) {
  const std::string id = song.id;
  store_.add(song);
  if (const auto& refusal = store_.lastHostError()) {
    error_ = refusal->message;
    emit changed();
    return;
  }
  markAdded(id);
}

QCoro::Task<> SearchSession::addAll(vinaro::PlaylistRef ref) {
  const QPointer<SearchSession> self(this);
  const auto failure = co_await addCollection(store_, ref);
  if (!self) co_return;
  if (failure) {
    error_ = failure->message;
    emit changed();
    co_return;
  }
  markAdded(ref.id);
}

void SearchSession::markAdded(const std::string& id) {
  added_.insert(id);
  error_.reset();
  emit changed();
  (void)unmarkLater(id);
}

QCoro::Task<> SearchSession::unmarkLater(std::string id) {
  const QPointer<SearchSession> self(this);
  co_await scheduler_.sleep(markSeconds);
  if (!self) co_return;
  added_.erase(id);
  emit changed();
}

}  // namespace kovali
