#pragma once

#include <map>
#include <string>

#include <QString>

#include "platform/secrets/secret_store.h"

namespace kovali {

/// Secrets in one JSON file, "Secrets.json", readable and writable by the user alone (0600),
/// for machines without a keychain service. Every write replaces the file atomically.
class FileSecretStore final : public SecretStore {
 public:
  /// Keeps the file in `folder`, which is created on the first write.
  explicit FileSecretStore(QString folder);

  const QString& filePath() const { return path_; }

  SecretReadResult read(const std::string& service, const std::string& account) override;
  std::optional<SecretError> write(const std::string& service, const std::string& account,
                                   const std::string& value) override;
  std::optional<SecretError> remove(const std::string& service, const std::string& account) override;

 private:
  using Items = std::map<std::string, std::map<std::string, std::string>>;  // service -> account -> text

  vinaro::Expected<Items, SecretError> load() const;
  std::optional<SecretError> store(const Items& items) const;

  QString folder_;
  QString path_;
};

}  // namespace kovali
