#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QString>

#include "protocol/expected.h"
#include "session/archive/session_file_sync.h"
#include "session/archive/session_snapshot.h"

namespace kovali {

/// The saved session: "Session.json" in the host's data folder, written whole and atomically
/// after every change, read once at launch. Failures are logged under "kovaliapp.archive".
///
/// A save is in the file before it returns, so a crash of the host never loses it; the sync
/// that keeps it through a power cut follows on a worker thread, and a power cut can lose the
/// saves of the last moments, those made since the last sync that ended. The last synced file
/// is kept as "Session.previous.json" too, for when a power cut spoils a newer one.
class SessionArchive {
 public:
  /// Why the archive cannot be had (then the host runs without saving).
  struct OpenError {
    QString description;  // a complete sentence
  };

  /// The archive in the user's data folder, which is created when missing.
  static vinaro::Expected<SessionArchive, OpenError> open();
  /// The archive in `folder`, which is created when missing; `syncer` stands in for the sync to
  /// disk where given, and `calls` for the system calls that change the folder.
  static vinaro::Expected<SessionArchive, OpenError> open(const QString& folder, SessionFileSync::Syncer syncer = {},
                                                          FolderCalls calls = {});

  // One archive per file: a copy would not know that the other stopped saving.
  SessionArchive(SessionArchive&&) = default;
  SessionArchive& operator=(SessionArchive&&) = default;

  /// The session file.
  const QString& filePath() const { return path_; }
  /// Where an unreadable session file is kept.
  QString unreadableFilePath() const { return path_ + QStringLiteral(".unreadable"); }
  /// The last session file that was synced to disk.
  QString previousFilePath() const;

  /// The saved session, or nothing. A file that exists but cannot be read or decoded, or whose
  /// revision is beyond `SessionState::maxRestorableRevision`, is logged and kept as
  /// `unreadableFilePath()` (replacing an older one there), so that no save overwrites a saved
  /// party; when it cannot be kept, this archive stops saving. In place of such a file, the
  /// previous copy is read, which is logged, and written back as the file and synced to disk
  /// before this returns, so that the party outlives one more stop however abrupt. The
  /// unreadable file stays in place until the written one replaces it in one step, so that
  /// whenever the host stops, a launch finds either the party or the unreadable file it restores
  /// from the copy again; a failed write is a failed save. Without a whole previous copy, the
  /// unreadable file is moved aside at once. No file gives nothing, silently.
  std::optional<SessionSnapshot> load();

  /// Writes the snapshot over the file in one step, so a crash or a full disk never leaves half a
  /// file, and has it synced to disk soon after. A failure leaves the previous file as it was and
  /// is logged once until a save succeeds again; answers whether the snapshot was written.
  bool save(const SessionSnapshotParts& snapshot);
  bool save(const SessionSnapshot& snapshot) { return save(snapshot.parts()); }
  /// Why the last save failed, or else the last sync to disk; nothing once both succeed (and
  /// before the first).
  std::optional<QString> problem() const;
  /// Called on the main thread when a sync to disk has ended, which may change `problem()`.
  void setSyncReport(std::function<void()> report) { health_->syncReport = std::move(report); }

 private:
  struct Health {
    std::optional<QString> writeProblem;  // the last write failed, and that was logged
    std::optional<QString> syncProblem;   // the last sync failed, and that was logged
    std::function<void()> syncReport;
  };

  SessionArchive(QString path, SessionFileSync::Syncer syncer, FolderCalls calls);

  /// The snapshot in the file at `path`, or why it cannot be had.
  static vinaro::Expected<SessionSnapshot, QString> read(const QString& path);
  /// The previous copy, when there is one and it is whole.
  std::optional<SessionSnapshot> loadPrevious() const;
  /// Saves a party restored from the previous copy and waits for its sync to disk.
  void writeBack(const SessionSnapshot& restored);
  /// Keeps the outcome of a write: logged once a streak; answers whether it was written.
  bool noteWrite(std::optional<QString> failure);
  /// Keeps the outcome of a sync to disk, logged once a streak, and tells `syncReport`.
  static void noteSync(Health& health, const std::optional<QString>& failure);
  /// Moves the unreadable file out of the way; answers whether it could, else this stops saving.
  bool setAside();
  /// Writes the snapshot in place of the file; the reason when it could not.
  std::optional<QString> write(const SessionSnapshotParts& snapshot);
  /// Puts the written file in place of the session file; the reason when it could not.
  std::optional<QString> putInPlace();
  /// Puts the written file in place of the unreadable one, which is kept as `unreadableFilePath()`;
  /// the reason when it could not, and then this stops saving.
  std::optional<QString> replaceUnreadable();
  /// `replaceUnreadable` for what has no second name, such as a folder: the written file goes
  /// beside it under the unreadable name, and the two then swap names in one step.
  std::optional<QString> swapWithUnreadable();
  QString temporaryFilePath() const { return path_ + QStringLiteral(".saving"); }

  QString path_;
  FolderCalls calls_;
  bool unreadableInPlace_ = false;   // an unreadable file is still to be kept before it is replaced
  bool keepsFileUntouched_ = false;  // an unreadable file could not be kept
  std::unique_ptr<Health> health_ = std::make_unique<Health>();  // where the syncs report, whatever moves
  std::unique_ptr<SessionFileSync> sync_;
};

}  // namespace kovali
