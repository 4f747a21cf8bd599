#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>

#include <QString>

#include "platform/library/index/library_index.h"
#include "platform/library/music_item_collection.h"

class QThreadPool;

namespace kovali {

/// What to scan.
struct LibraryScanSettings {
  QString folder;                 // the music folder
  bool folderWasChosen = true;    // false for the default folder, which may be missing
  QString dataFolder;             // holds the index cache and the demo library
  bool makesDemoWhenEmpty = true; // a folder without audio is replaced by the demo library
};

/// How far a running scan has come; written by the scan's threads, read by anyone.
struct ScanCounters {
  std::atomic<int> found = 0;       // audio files found
  std::atomic<int> fromCache = 0;   // of those, taken from the index cache unread
  std::atomic<int> read = 0;        // of those, read this time
  std::atomic<int> unreadable = 0;  // of those, files that could not be read (skipped)
  std::atomic<bool> cancelled = false;
};

/// The end of a scan: the index, or why there is none.
struct LibraryScanOutcome {
  MusicResult<std::shared_ptr<const LibraryIndex>> index = MusicError{};
  QString folder;  // the folder indexed: the music folder, or the demo library in its place
  int playlistFiles = 0;
  double seconds = 0;
};

/// Indexes the music folder: walks it, takes unchanged files (same path, size and time) from the
/// index cache, reads the others in parallel on `readers`, saves the cache when anything changed,
/// and builds the index. Runs on the calling thread (a worker's) until done or cancelled.
LibraryScanOutcome scanLibrary(const LibraryScanSettings& settings, QThreadPool& readers, ScanCounters& counters);

/// The sentence for a music folder that cannot be used, or nothing when it can: a missing
/// default folder can, as it is then replaced by the demo library.
std::optional<MusicError> musicFolderProblem(const LibraryScanSettings& settings);

}  // namespace kovali
