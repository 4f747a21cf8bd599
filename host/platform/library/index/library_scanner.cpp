#include "platform/library/index/library_scanner.h"

#include <optional>
#include <unordered_map>
#include <unordered_set>
#include <variant>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentMap>

#include "platform/library/demo_library.h"
#include "platform/library/index/library_index_cache.h"
#include "platform/library/index/library_walker.h"
#include "platform/library/index/saved_library_index.h"
#include "platform/library/playlist_file.h"
#include "platform/runtime/logging.h"

namespace kovali {

namespace {

constexpr qint64 kLargestPlaylist = 16 * 1024 * 1024;

std::string bytes(const QString& path) { return QFile::encodeName(path).toStdString(); }

MusicError problemSentence(FolderProblem problem, const QString& folder) {
  switch (problem) {
    case FolderProblem::missing: return {"The music folder " + folder.toStdString() + " does not exist."};
    case FolderProblem::notAFolder: return {"The music folder " + folder.toStdString() + " is not a folder."};
    case FolderProblem::unreadable: break;
  }
  return {"The music folder " + folder.toStdString() + " cannot be read."};
}

std::vector<LibraryPlaylistFile> readPlaylists(const std::string& root, const std::vector<WalkedFile>& found,
                                               const std::unordered_set<std::string>& readable) {
  const auto isLibraryFile = [&](const std::string& path) { return readable.contains(path); };
  std::vector<LibraryPlaylistFile> playlists;
  for (const auto& playlist : found) {
    QFile file(QFile::decodeName(QByteArray::fromStdString(root + "/" + playlist.relativePath)));
    if (playlist.size > kLargestPlaylist || !file.open(QIODevice::ReadOnly)) continue;
    const QByteArray contents = file.readAll();
    playlists.push_back({playlist.relativePath,
                         readPlaylist(std::string_view(contents.constData(), static_cast<std::size_t>(contents.size())),
                                      playlist.relativePath, root, isLibraryFile)});
  }
  return playlists;
}

// The cover picture in the folder of the file at `relativePath`.
std::optional<std::string> folderArtworkOf(const LibraryWalk& walk, std::string_view relativePath) {
  const auto slash = relativePath.rfind('/');
  const auto found = walk.folderArtwork.find(relativePath.substr(0, slash == std::string_view::npos ? 0 : slash));
  if (found == walk.folderArtwork.end()) return std::nullopt;
  return found->second;
}

// Names the files that are not audio that can be read, so that people can mend or remove them; a
// folder full of them is named in part.
void nameUnreadableFiles(const std::vector<std::string>& unreadable, const QString& folder) {
  constexpr std::size_t kNamed = 10;
  for (std::size_t i = 0; i < std::min(unreadable.size(), kNamed); ++i) {
    qCWarning(lcLibrary).noquote() << "skipped" << folder + u'/' + QFile::decodeName(unreadable[i].c_str())
                                 << "- not audio that can be read";
  }
  if (unreadable.size() > kNamed) {
    qCWarning(lcLibrary).noquote() << "skipped"
                                 << counted(static_cast<qint64>(unreadable.size() - kNamed), "more file", "more files")
                                 << "that are not audio that can be read";
  }
}

}  // namespace

std::optional<MusicError> musicFolderProblem(const LibraryScanSettings& settings) {
  const QString folder = QDir(settings.folder).absolutePath();
  const auto problem = folderProblem(bytes(folder));
  if (!problem) return std::nullopt;
  if (*problem == FolderProblem::missing && !settings.folderWasChosen && settings.makesDemoWhenEmpty) return std::nullopt;
  return problemSentence(*problem, folder);
}

LibraryScanOutcome scanLibrary(const LibraryScanSettings& settings, QThreadPool& readers, ScanCounters& counters) {
  QElapsedTimer timer;
  timer.start();
  LibraryScanOutcome outcome;
  outcome.folder = QDir(settings.folder).absolutePath();

  if (auto problem = musicFolderProblem(settings)) {
    outcome.index = *problem;
    return outcome;
  }
  auto walked = walkLibrary(bytes(outcome.folder), counters.cancelled, readers);
  const auto* walk = std::get_if<LibraryWalk>(&walked);
  if (settings.makesDemoWhenEmpty && (!walk || walk->audioFiles.empty())) {
    const QString demo = demoLibraryFolder(settings.dataFolder);
    if (auto failure = ensureDemoLibrary(demo)) {
      qCWarning(lcLibrary).noquote() << "demo library:" << QString::fromStdString(*failure);
      outcome.index = MusicError{"The music folder " + outcome.folder.toStdString() +
                                 " holds no music, and the demo library could not be made in " + demo.toStdString() +
                                 "."};
      return outcome;
    }
    qCInfo(lcLibrary).noquote() << "the music folder" << outcome.folder << "holds no music; using the demo library";
    outcome.folder = demo;
    walked = walkLibrary(bytes(demo), counters.cancelled, readers);
    walk = std::get_if<LibraryWalk>(&walked);
  }
  if (!walk) {
    outcome.index = problemSentence(std::get<FolderProblem>(walked), outcome.folder);
    return outcome;
  }
  const std::string root = bytes(outcome.folder);
  counters.found = static_cast<int>(walk->audioFiles.size());
  if (walk->unreadableFolders > 0) {
    qCWarning(lcLibrary).noquote() << walk->unreadableFolders << "folders in" << outcome.folder
                                 << "could not be read and were passed by";
  }

  // A folder found as it was last time takes the index built then.
  const QString savedPath = savedIndexPath(settings.dataFolder, root);
  if (auto saved = loadSavedIndex(savedPath, root, *walk)) {
    counters.fromCache = counters.found.load();
    counters.unreadable = static_cast<int>(saved->unreadableFiles.size());
    nameUnreadableFiles(saved->unreadableFiles, outcome.folder);
    outcome.playlistFiles = static_cast<int>(saved->index->playlists().size());
    outcome.index = std::move(saved->index);
    outcome.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    return outcome;
  }

  // Unchanged files come from the cache; the rest are read, several at a time.
  const QString cachePath = indexCachePath(settings.dataFolder, root);
  const std::vector<CachedAudioFile> cached = loadIndexCache(cachePath, root);
  std::unordered_map<std::string_view, const CachedAudioFile*> cachedByPath;
  for (const auto& entry : cached) cachedByPath.emplace(entry.file.relativePath, &entry);
  std::vector<CachedAudioFile> entries(walk->audioFiles.size());
  std::vector<std::size_t> toRead;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    entries[i].file = walk->audioFiles[i];
    const auto hit = cachedByPath.find(entries[i].file.relativePath);
    if (hit != cachedByPath.end() && hit->second->file == entries[i].file) {
      entries[i].tags = hit->second->tags;
      ++counters.fromCache;
      if (!entries[i].tags) ++counters.unreadable;
    } else {
      toRead.push_back(i);
    }
  }
  QtConcurrent::blockingMap(&readers, toRead, [&](std::size_t i) {
    if (counters.cancelled) return;
    entries[i].tags = readAudioTags(root + "/" + entries[i].file.relativePath);
    ++counters.read;
    if (!entries[i].tags) ++counters.unreadable;
  });
  if (counters.cancelled) {
    outcome.index = MusicError{"The scan of the music folder " + outcome.folder.toStdString() + " was stopped."};
    return outcome;
  }
  if ((!toRead.empty() || cached.size() != entries.size()) && !saveIndexCache(cachePath, root, entries)) {
    qCWarning(lcLibrary).noquote() << "the index cache" << cachePath << "could not be written";
  }

  SavedLibraryIndex built;
  std::vector<LibraryFile> files;
  std::unordered_set<std::string> readable;
  files.reserve(entries.size());
  for (auto& entry : entries) {
    if (!entry.tags) {
      built.unreadableFiles.push_back(entry.file.relativePath);
      continue;
    }
    readable.insert(entry.file.relativePath);
    auto artwork = folderArtworkOf(*walk, entry.file.relativePath);
    files.push_back({std::move(entry.file.relativePath), std::move(*entry.tags), std::move(artwork)});
  }
  nameUnreadableFiles(built.unreadableFiles, outcome.folder);
  const auto playlists = readPlaylists(root, walk->playlists, readable);
  outcome.playlistFiles = static_cast<int>(playlists.size());
  built.index = LibraryIndex::build(root, std::move(files), playlists);
  if (!saveIndex(savedPath, root, *walk, built)) {
    qCWarning(lcLibrary).noquote() << "the saved index" << savedPath << "could not be written";
  }
  outcome.index = std::move(built.index);
  outcome.seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
  return outcome;
}

}  // namespace kovali
