#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include "session/archive/session_archive.h"

namespace kovali::archive_files {

/// A party with a queue, two DJ devices and revision 7.
SessionSnapshot sampleSnapshot();
SessionSnapshot withRevision(std::int64_t revision);
QByteArray encoded(const SessionSnapshot& snapshot);

/// The bytes of the file at `path`, or none.
QByteArray contents(const QString& path);
void putFile(const QString& path, const QByteArray& bytes);
/// Puts `bytes` at `path` as a save does, in a new file renamed into place: what a power cut
/// leaves when the rename reached the disk and the bytes did not.
void replaceFile(const QString& path, const QByteArray& bytes);

/// The archive in `folder`, which opens.
SessionArchive openedIn(const QString& folder);
/// Saves `snapshot` and waits until its sync to disk has ended.
void saveAndSync(SessionArchive& archive, const SessionSnapshot& snapshot);

/// What a launch would find had the host stopped between any two of the steps that change a
/// folder or put it on disk, made through `calls()` once `watch()` was called.
class StoppedAtEachStep {
 public:
  explicit StoppedAtEachStep(QString folder, FolderCalls real = {}) : folder_(std::move(folder)), real_(std::move(real)) {}
  /// The calls of `real`, each made after the folder as it is has been kept.
  FolderCalls calls();
  /// Keeps the folder before each call from now on, forgetting what was kept before.
  void watch();
  /// What a launch loads from each folder kept, and from the folder as it is now.
  std::vector<std::optional<SessionSnapshot>> launches();

 private:
  void keep();

  QString folder_;
  FolderCalls real_;
  std::mutex lock_;
  bool watching_ = false;
  std::vector<std::unique_ptr<QTemporaryDir>> kept_;
};

}  // namespace kovali::archive_files
