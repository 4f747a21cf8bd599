#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/library/music_catalog.h"
#include "platform/runtime/scheduler.h"

namespace kovali {

/// A catalogue that answers from the items the test gives it, in batches of `batchSize`, after
/// `delay` seconds of the test's scheduler, failing the requests the test names. Every request
/// is written to `requests`, one line each:
///   "authorization", "subscription", "search songs \"term\" limit 25", "catalog song ID",
///   "catalog album ID", "catalog playlist ID", "library playlists", "library playlist ID",
///   "tracks of album ID", "tracks of playlist ID", "next batch 2 of playlist ID",
///   "next batch 2 of library playlists".
class FakeMusicCatalog final : public MusicCatalog {
 public:
  /// An album or playlist with its track list; no list means the item has none.
  template <class Item>
  struct WithTracks {
    Item item;
    std::optional<std::vector<MusicTrackEntry>> tracks;
  };

  /// `scheduler` is needed only for a `delay`.
  explicit FakeMusicCatalog(Scheduler* scheduler = nullptr) : scheduler_(scheduler) {}

  MusicAuthorizationStatus authorization = MusicAuthorizationStatus::authorized;
  MusicResult<MusicSubscription> subscription = MusicSubscription{true};
  std::vector<Song> songs;  // searched in this order
  std::vector<WithTracks<Album>> albums;
  std::vector<WithTracks<Playlist>> playlists;  // the catalogue's
  std::vector<WithTracks<Playlist>> library;    // the library's, in name order
  int batchSize = 100;
  double delay = 0;

  /// The request written as `request` in the log fails with `error` (every time it is made).
  void failOn(const std::string& request, MusicError error) { failures_[request] = std::move(error); }

  std::vector<std::string> requests;
  std::vector<MusicSearchRequest> searches;

  QCoro::Task<MusicAuthorizationStatus> requestAuthorization() override;
  QCoro::Task<MusicResult<MusicSubscription>> currentSubscription() override;
  QCoro::Task<MusicResult<MusicSearchResponse>> search(MusicSearchRequest request) override;
  QCoro::Task<MusicResult<MusicItemCollection<Song>>> catalogSongs(std::string id) override;
  QCoro::Task<MusicResult<MusicItemCollection<Album>>> catalogAlbums(std::string id) override;
  QCoro::Task<MusicResult<MusicItemCollection<Playlist>>> catalogPlaylists(std::string id) override;
  QCoro::Task<MusicResult<MusicItemCollection<Playlist>>> libraryPlaylists(std::optional<std::string> id) override;
  QCoro::Task<MusicResult<std::optional<MusicItemCollection<MusicTrackEntry>>>> tracks(Album album) override;
  QCoro::Task<MusicResult<std::optional<MusicItemCollection<MusicTrackEntry>>>> tracks(Playlist playlist) override;

 private:
  QCoro::Task<> wait();
  /// Logs the request and answers its scripted failure, if any.
  std::optional<MusicError> record(const std::string& request);

  /// `items` from `offset` on, one batch at a time; `label` names the list in the log.
  template <class Item>
  MusicItemCollection<Item> batches(std::shared_ptr<const std::vector<Item>> items, std::size_t offset,
                                    std::string label, int number);

  Scheduler* scheduler_;
  std::map<std::string, MusicError> failures_;
};

}  // namespace kovali
