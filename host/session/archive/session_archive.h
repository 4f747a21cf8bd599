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
  /// disk where given.
  static vinaro::Expected<SessionArchive, OpenError> open(const QString& folder,
                                                          SessionFileSync::Syncer syncer = {});

  // One archive per file: a copy would not know that the other stopped saving.
  SessionArchive(SessionArchive&&) = default;
  SessionArchive& operator=(SessionArchive&&) = default;

  /// The session file.
  const QString& filePath() const { return path_; }
  /// Where an unreadable session file is moved.
  QString unreadableFilePath() const { return path_ + QStringLiteral(".unreadable"); }
  /// The last session file that was synced to disk.
  QString previousFilePath() const;

  /// The saved session, or nothing. A file that exists but cannot be read or decoded, or whose
  /// revision is beyond `SessionState::maxRestorableRevision`, is logged and moved to
  /// `unreadableFilePath()` (replacing an older one there), so that the next save cannot
  /// overwrite a saved party; when it cannot be moved, this archive stops saving. In place of
  /// such a file, the previous copy is read, which is logged. No file gives nothing, silently.
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

  SessionArchive(QString path, SessionFileSync::Syncer syncer);

  /// The snapshot in the file at `path`, or why it cannot be had.
  static vinaro::Expected<SessionSnapshot, QString> read(const QString& path);
  /// The previous copy, when there is one and it is whole.
  std::optional<SessionSnapshot> loadPrevious() const;
  void setAside(const QString& reason);
  /// Writes the snapshot in place of the file; the reason when it could not.
  std::optional<QString> write(const SessionSnapshotParts& snapshot) const;
  QString temporaryFilePath() const { return path_ + QStringLiteral(".saving"); }

  QString path_;
  bool keepsFileUntouched_ = false;  // an unreadable file could not be moved out of the way
  std::unique_ptr<Health> health_ = std::make_unique<Health>();  // where the syncs report, whatever moves
  std::unique_ptr<SessionFileSync> sync_;
};

}  // namespace kovali
