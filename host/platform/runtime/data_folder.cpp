#include "platform/runtime/data_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace kovali {

QString appDataFolder() { return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation); }

std::optional<QString> createFolder(const QString& folder) {
  if (folder.isEmpty()) return QStringLiteral("The system names no folder for the host's files.");
  if (QDir().mkpath(folder) && QFileInfo(folder).isDir()) return std::nullopt;
  return QStringLiteral("The folder %1 could not be created.").arg(QDir::toNativeSeparators(folder));
}

}  // namespace kovali
