#pragma once

#include <optional>

#include <QString>

#include "session/archive/folder_calls.h"

namespace kovali {

/// Puts the file open as `file`, found at `path`, at `target` too, in one step that replaces
/// whatever file was there: as a second link where the file system allows it and `path` still
/// names that file, else as a copy synced to disk. Answers the reason when it could not; a
/// file left half-made by a crash is cleared the next time.
std::optional<QString> keepUnderSecondName(int file, const QString& path, const QString& target,
                                           const FolderCalls& calls);

}  // namespace kovali
