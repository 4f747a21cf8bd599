#include "platform/library/local_music_library.h"

#include <algorithm>
#include <utility>

#include <QPointer>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorosignal.h>

#include "platform/library/artwork_picture.h"
#include "platform/runtime/logging.h"
#include "platform/runtime/set_if_changed.h"

namespace kovali {

namespace {

constexpr int kProgressIntervalMs = 250;
constexpr int kReadsBetweenLogLines = 1000;

// `items` from `offset` on, one batch at a time; the batches share the list.
template <class Item>
MusicItemCollection<Item> inBatches(std::shared_ptr<const std::vector<Item>> items, std::size_t offset,
                                    std::size_t batchSize) {
  const std::size_t end = std::min(items->size(), offset + batchSize);
  std::vector<Item> batch(items->begin() + static_cast<std::ptrdiff_t>(offset),
                          items->begin() + static_cast<std::ptrdiff_t>(end));
  if (end >= items->size()) return MusicItemCollection<Item>(std::move(batch));
  return MusicItemCollection<Item>(
      std::move(batch), [items, end, batchSize]() -> QCoro::Task<typename MusicItemCollection<Item>::Batch> {
        co_return std::optional(inBatches(items, end, batchSize));
      });
}

template <class Item>
MusicItemCollection<Item> atMostOne(const Item* item) {
  return MusicItemCollection<Item>(item ? std::vector<Item>{*item} : std::vector<Item>{});
}

std::vector<MusicTrackEntry> entries(std::vector<Song> songs) {
  return std::vector<MusicTrackEntry>(std::make_move_iterator(songs.begin()), std::make_move_iterator(songs.end()));
}

MusicSearchResponse searched(const LibraryIndex& index, const MusicSearchRequest& request) {
  const auto limit = static_cast<std::size_t>(std::max(request.limit, 0));
  MusicSearchResponse response;
  switch (request.kind) {
    case MusicItemKind::songs:
      response.songs = MusicItemCollection<Song>(index.searchSongs(request.term, limit));
      break;
    case MusicItemKind::albums:
      response.albums = MusicItemCollection<Album>(index.searchAlbums(request.term, limit));
      break;
    case MusicItemKind::playlists:
      response.playlists = MusicItemCollection<Playlist>(index.searchPlaylists(request.term, limit));
      break;
  }
  return response;
}

}  // namespace

LocalMusicLibrary::LocalMusicLibrary(LibraryScanSettings settings, int batchSize, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), batchSize_(static_cast<std::size_t>(std::max(batchSize, 1))) {
  scanner_.setMaxThreadCount(1);
  progressTimer_.setInterval(kProgressIntervalMs);
  connect(&progressTimer_, &QTimer::timeout, this, &LocalMusicLibrary::updateProgress);
  connect(&scanWatcher_, &QFutureWatcherBase::finished, this, &LocalMusicLibrary::finishScan);
}

LocalMusicLibrary::~LocalMusicLibrary() {
  if (counters_) counters_->cancelled = true;
  scanner_.waitForDone();
  readers_.waitForDone();
}

void LocalMusicLibrary::rescan() {
  if (running_) {
    rescanWanted_ = true;
    return;
  }
  startScan();
}

void LocalMusicLibrary::startScan() {
  counters_ = std::make_shared<ScanCounters>();
  lastLoggedRead_ = 0;
  qCInfo(lcLibrary).noquote() << "scanning the music folder" << settings_.folder;
  running_ = QtConcurrent::run(&scanner_, [settings = settings_, readers = &readers_, counters = counters_] {
    return scanLibrary(settings, *readers, *counters);
  });
  updateProgress();
  progressTimer_.start();
  scanWatcher_.setFuture(*running_);
}

void LocalMusicLibrary::finishScan() {
  LibraryScanOutcome outcome = running_->result();
  running_.reset();
  progressTimer_.stop();
  updateProgress();
  if (outcome.index) {
    const LibraryIndex& index = *outcome.index.value();
    qCInfo(lcLibrary).noquote() << "indexed" << counted(index.songCount(), "song,", "songs,")
                              << counted(index.albumCount(), "album and", "albums and")
                              << counted(static_cast<qint64>(index.playlists().size()), "playlist", "playlists")
                              << "of" << outcome.folder << "in" << QString::number(outcome.seconds, 'f', 2)
                              << "s:" << progress_.read << "read," << progress_.fromCache << "from the cache,"
                              << progress_.unreadable << "unreadable";
    songCount_ = static_cast<int>(index.songCount());
  } else {
    qCWarning(lcLibrary).noquote() << QString::fromStdString(outcome.index.error().description);
    songCount_ = 0;
  }
  const bool again = std::exchange(rescanIfFailed_, false) && !outcome.index;
  current_ = std::move(outcome.index);
  indexedFolder_ = outcome.folder;
  emit scanFinished();
  // A receiver of scanFinished may have started one already.
  if ((std::exchange(rescanWanted_, false) || again) && !running_) startScan();
}

void LocalMusicLibrary::updateProgress() {
  if (!counters_) return;
  LibraryScanProgress progress{running_.has_value(), counters_->found, counters_->fromCache, counters_->read,
                               counters_->unreadable};
  if (progress.scanning && progress.read >= lastLoggedRead_ + kReadsBetweenLogLines) {
    lastLoggedRead_ = progress.read;
    qCInfo(lcLibrary).noquote() << "read" << progress.read << "of" << progress.found - progress.fromCache
                              << "new or changed files";
  }
  if (setIfChanged(progress_, progress)) emit scanProgressChanged();
}

QCoro::Task<LocalMusicLibrary::IndexResult> LocalMusicLibrary::index() {
  QPointer<LocalMusicLibrary> self(this);
  // A failure answers only when no scan is on its way that may mend it.
  while (!current_ || (!*current_ && running_)) {
    if (!running_) startScan();
    // Its end is heard of after finishScan has taken the outcome, even when the scan has ended
    // already; a closing library ends the scan too.
    QFutureWatcher<LibraryScanOutcome> scan;
    scan.setFuture(*running_);
    co_await qCoro(static_cast<QFutureWatcherBase*>(&scan), &QFutureWatcherBase::finished);
    if (!self) co_return MusicError{"The music library was closed."};
  }
  // A copy: QCoro moves from an lvalue given to co_return.
  co_return IndexResult(*current_);
}

std::function<QImage()> LocalMusicLibrary::artworkReader(const std::string& id) const {
  if (!current_ || !*current_) return {};
  auto source = current_->value()->artworkSource(id);
  if (!source) return {};
  return [source = std::move(*source)] { return readArtworkPicture(source); };
}

QCoro::Task<MusicAuthorizationStatus> LocalMusicLibrary::requestAuthorization() {
  co_return MusicAuthorizationStatus::authorized;
}

QCoro::Task<MusicResult<MusicSubscription>> LocalMusicLibrary::currentSubscription() {
  if (auto problem = musicFolderProblem(settings_)) co_return *problem;
  // The folder can be read now: index it unless an index is there or on its way. The scan on its
  // way may have looked before the folder could be read; it is made again should it fail.
  if (!(current_ && *current_)) {
    if (running_) rescanIfFailed_ = true;
    else startScan();
  }
  co_return MusicSubscription{true};
}

QCoro::Task<MusicResult<MusicSearchResponse>> LocalMusicLibrary::search(MusicSearchRequest request) {
  const auto index = co_await this->index();
  if (!index) co_return index.error();
  // Made apart from the co_await (see SerialQueue::result).
  auto searching =
      searcher_.result([index = index.value(), request = std::move(request)] { return searched(*index, request); });
  co_return co_await searching;
}

QCoro::Task<MusicResult<MusicItemCollection<Song>>> LocalMusicLibrary::catalogSongs(std::string id) {
  const auto index = co_await this->index();
  if (!index) co_return index.error();
  co_return atMostOne(index.value()->song(id));
}

QCoro::Task<MusicResult<MusicItemCollection<Album>>> LocalMusicLibrary::catalogAlbums(std::string id) {
  const auto index = co_await this->index();
  if (!index) co_return index.error();
  co_return atMostOne(index.value()->album(id));
}

// A local library's playlists are its catalogue's too.
QCoro::Task<MusicResult<MusicItemCollection<Playlist>>> LocalMusicLibrary::catalogPlaylists(std::string id) {
  return libraryPlaylists(std::move(id));
}

QCoro::Task<MusicResult<MusicItemCollection<Playlist>>> LocalMusicLibrary::libraryPlaylists(
    std::optional<std::string> id) {
  const std::size_t batchSize = batchSize_;
  const auto index = co_await this->index();
  if (!index) co_return index.error();
  if (id) co_return atMostOne(index.value()->playlist(*id));
  auto listing = searcher_.result(
      [index = index.value()] { return std::make_shared<const std::vector<Playlist>>(index->playlists()); });
  co_return inBatches(co_await listing, 0, batchSize);
}

QCoro::Task<MusicResult<std::optional<MusicItemCollection<MusicTrackEntry>>>> LocalMusicLibrary::tracks(Album album) {
  const auto index = co_await this->index();
  if (!index) co_return index.error();
  if (!index.value()->album(album.id)) co_return std::optional<MusicItemCollection<MusicTrackEntry>>();
  auto listing =
      searcher_.result([index = index.value(), album = std::move(album)] { return entries(index->songs(album)); });
  // An album's songs come in one batch, however many.
  co_return std::optional(MusicItemCollection<MusicTrackEntry>(co_await listing));
}

QCoro::Task<MusicResult<std::optional<MusicItemCollection<MusicTrackEntry>>>> LocalMusicLibrary::tracks(
    Playlist playlist) {
  const std::size_t batchSize = batchSize_;
  const auto index = co_await this->index();
  if (!index) co_return index.error();
  if (!index.value()->playlist(playlist.id)) co_return std::optional<MusicItemCollection<MusicTrackEntry>>();
  auto listing = searcher_.result([index = index.value(), playlist = std::move(playlist)] {
    return std::make_shared<const std::vector<MusicTrackEntry>>(entries(index->songs(playlist)));
  });
  co_return std::optional(inBatches(co_await listing, 0, batchSize));
}

}  // namespace kovali
