#pragma once

#include <cstdint>

#include <QByteArray>
#include <QString>

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

}  // namespace kovali::archive_files
