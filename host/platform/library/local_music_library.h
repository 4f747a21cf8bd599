#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QFuture>
#include <QFutureWatcher>
#include <QImage>
#include <QObject>
#include <QThreadPool>
#include <QTimer>

#include "platform/library/index/library_scanner.h"
#include "platform/library/music_catalog.h"
#include "platform/runtime/serial_queue.h"

namespace kovali {

/// How far the library's scan has come.
struct LibraryScanProgress {
  bool scanning = false;
  int found = 0;       // audio files found
  int fromCache = 0;   // taken from the index cache unread
  int read = 0;        // read this scan
  int unreadable = 0;  // skipped: not audio that can be read

  bool operator==(const LibraryScanProgress&) const = default;
};

/// The music catalogue of a folder of audio files on this computer: songs from the files' tags,
/// albums from their album tags, playlists from the M3U files among them. Access is granted and
/// everything can be played as long as the folder can be read; where it holds no audio, a demo
/// library made in the app data folder takes its place.
///
/// The folder is indexed off the main thread, its files read in parallel, with an index cache
/// in the app data folder so that later starts read only what changed. Requests made before the
/// first index is ready wait for it; later scans replace the index when they end. Searches and
/// listings run on a thread of their own over the index they began with, so the main thread stays
/// free and a scan that replaces the index meanwhile takes nothing from under them.
class LocalMusicLibrary final : public QObject, public MusicCatalog {
  Q_OBJECT
  Q_PROPERTY(LibraryScanProgress scanProgress READ scanProgress NOTIFY scanProgressChanged)

 public:
  /// `batchSize` is how many playlists or playlist entries one batch holds.
  explicit LocalMusicLibrary(LibraryScanSettings settings, int batchSize = 100, QObject* parent = nullptr);
  /// Stops a running scan and waits for its threads.
  ~LocalMusicLibrary() override;

  /// Scans the folder again, after the running scan if there is one.
  void rescan();

  const LibraryScanProgress& scanProgress() const { return progress_; }
  /// The folder of the current index: the music folder or the demo library; empty before.
  const QString& indexedFolder() const { return indexedFolder_; }
  /// How many songs the current index holds; 0 before the first scan ends or when it failed.
  int songCount() const { return songCount_; }
  /// Whether the last scan failed, so there is no index to count.
  bool indexFailed() const { return current_.has_value() && !*current_; }
  /// Reads the cover art of the song or album with this id in the current index, on whatever
  /// thread calls it (a null image when it cannot be read); none when the id has no art.
  std::function<QImage()> artworkReader(const std::string& id) const;

  QCoro::Task<MusicAuthorizationStatus> requestAuthorization() override;
  QCoro::Task<MusicResult<MusicSubscription>> currentSubscription() override;
  QCoro::Task<MusicResult<MusicSearchResponse>> search(MusicSearchRequest request) override;
  QCoro::Task<MusicResult<MusicItemCollection<Song>>> catalogSongs(std::string id) override;
  QCoro::Task<MusicResult<MusicItemCollection<Album>>> catalogAlbums(std::string id) override;
  QCoro::Task<MusicResult<MusicItemCollection<Playlist>>> catalogPlaylists(std::string id) override;
  QCoro::Task<MusicResult<MusicItemCollection<Playlist>>> libraryPlaylists(std::optional<std::string> id) override;
  QCoro::Task<MusicResult<std::optional<MusicItemCollection<MusicTrackEntry>>>> tracks(Album album) override;
  QCoro::Task<MusicResult<std::optional<MusicItemCollection<MusicTrackEntry>>>> tracks(Playlist playlist) override;

 signals:
  void scanProgressChanged();
  /// A scan ended; its index (or failure) now answers the requests. Emitted from the event loop,
  /// never inside the call that started the scan.
  void scanFinished();

 private:
  using IndexResult = MusicResult<std::shared_ptr<const LibraryIndex>>;

  /// The current index; before the first scan ends, the first scan's.
  QCoro::Task<IndexResult> index();
  void startScan();
  void finishScan();
  void updateProgress();

  LibraryScanSettings settings_;
  std::size_t batchSize_;
  QThreadPool readers_;
  QThreadPool scanner_;  // one thread that runs the scan and waits for the readers
  std::shared_ptr<ScanCounters> counters_;
  std::optional<QFuture<LibraryScanOutcome>> running_;
  // Hears of each scan's end from the event loop, never inside the call that started it.
  QFutureWatcher<LibraryScanOutcome> scanWatcher_;
  bool rescanWanted_ = false;
  bool rescanIfFailed_ = false;  // the folder could be read after the running scan began
  std::optional<IndexResult> current_;
  QString indexedFolder_;
  int songCount_ = 0;
  LibraryScanProgress progress_;
  QTimer progressTimer_;
  int lastLoggedRead_ = 0;
  SerialQueue searcher_{QStringLiteral("kovaliapp.library.search")};
};

}  // namespace kovali
