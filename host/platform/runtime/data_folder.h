#pragma once

#include <optional>

#include <QString>

namespace kovali {

/// The folder where the host keeps its own files: the user's application data folder
/// (QStandardPaths::AppDataLocation). Empty when the system names none.
QString appDataFolder();

/// Creates `folder` and its parents when missing. Nothing when the folder exists afterwards,
/// else a sentence saying why it could not be made.
std::optional<QString> createFolder(const QString& folder);

}  // namespace kovali
