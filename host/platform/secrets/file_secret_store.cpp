#include "platform/secrets/file_secret_store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "platform/runtime/data_folder.h"
#include "protocol/json_reader.h"
#include "protocol/json_writer.h"

namespace kovali {
namespace {

std::string nativePath(const QString& path) { return QDir::toNativeSeparators(path).toStdString(); }

}  // namespace

FileSecretStore::FileSecretStore(QString folder)
    : folder_(std::move(folder)), path_(QDir(folder_).filePath(QStringLiteral("Secrets.json"))) {}

vinaro::Expected<FileSecretStore::Items, SecretError> FileSecretStore::load() const {
  QFile file(path_);
  if (!file.exists()) return Items{};
  if (!file.open(QIODevice::ReadOnly)) {
    return SecretError::failed("Could not read " + nativePath(path_) + ": " + file.errorString().toStdString() + ".");
  }
  const QByteArray bytes = file.readAll();
  auto items = vinaro::wire::tryDecode<Items>(std::string_view(bytes.constData(), bytes.size()));
  if (!items) {
    return SecretError::failed("The secrets file " + nativePath(path_) + " is unreadable: " +
                               items.error().description());
  }
  return std::move(items).value();
}

std::optional<SecretError> FileSecretStore::store(const Items& items) const {
  const auto failure = [&](const QString& reason) {
    return SecretError::failed("Could not write " + nativePath(path_) + ": " + reason.toStdString() + ".");
  };
  if (items.empty()) {
    if (QFile::exists(path_) && !QFile::remove(path_)) return failure(QStringLiteral("it could not be removed"));
    return std::nullopt;
  }
  if (auto error = createFolder(folder_)) return failure(*error);
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly)) return failure(file.errorString());
  // Narrowed before any secret reaches the temporary file; the rename keeps the mode.
  if (!file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
    file.cancelWriting();
    return failure(QStringLiteral("its permissions could not be restricted"));
  }
  const std::string json = vinaro::wire::encode(items);
  if (file.write(json.data(), static_cast<qint64>(json.size())) != static_cast<qint64>(json.size()) ||
      !file.commit()) {
    return failure(file.errorString());
  }
  return std::nullopt;
}

SecretReadResult FileSecretStore::read(const std::string& service, const std::string& account) {
  auto items = load();
  if (!items) return std::move(items).error();
  const auto byService = items->find(service);
  if (byService == items->end()) return std::optional<std::string>();
  const auto item = byService->second.find(account);
  if (item == byService->second.end()) return std::optional<std::string>();
  return std::optional<std::string>(item->second);
}

std::optional<SecretError> FileSecretStore::write(const std::string& service, const std::string& account,
                                                  const std::string& value) {
  auto items = load();
  if (!items) return std::move(items).error();
  items.value()[service][account] = value;
  return store(items.value());
}

std::optional<SecretError> FileSecretStore::remove(const std::string& service, const std::string& account) {
  auto items = load();
  if (!items) return std::move(items).error();
  const auto byService = items.value().find(service);
  if (byService == items.value().end() || byService->second.erase(account) == 0) return std::nullopt;
  if (byService->second.empty()) items.value().erase(byService);
  return store(items.value());
}

}  // namespace kovali
