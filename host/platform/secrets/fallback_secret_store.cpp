#include "platform/secrets/fallback_secret_store.h"

#include "platform/runtime/logging.h"

namespace kovali {
namespace {

bool hasNoService(const std::optional<SecretError>& error) {
  return error && error->kind == SecretError::Kind::noService;
}

}  // namespace

FallbackSecretStore::FallbackSecretStore(std::unique_ptr<SecretStore> preferred, std::unique_ptr<SecretStore> fallback)
    : preferred_(std::move(preferred)), fallback_(std::move(fallback)) {}

SecretReadResult FallbackSecretStore::read(const std::string& service, const std::string& account) {
  const auto copy = fallback_->read(service, account);
  if (copy && copy->has_value()) {
    if ((*copy)->empty()) return std::optional<std::string>();
    return copy;
  }
  if (!copy) {
    // A broken file must not hide a keychain that works.
    qCWarning(lcSecrets, "%s", copy.error().description.c_str());
  }
  auto stored = preferred_->read(service, account);
  if (!stored && stored.error().kind == SecretError::Kind::noService) {
    return copy ? copy : stored;
  }
  return stored;
}

std::optional<SecretError> FallbackSecretStore::write(const std::string& service, const std::string& account,
                                                      const std::string& value) {
  auto error = preferred_->write(service, account, value);
  if (hasNoService(error)) {
    qCInfo(lcSecrets, "%s Keeping the secret in a file instead.", error->description.c_str());
    return fallback_->write(service, account, value);
  }
  if (error) return error;
  return fallback_->remove(service, account);
}

std::optional<SecretError> FallbackSecretStore::remove(const std::string& service, const std::string& account) {
  auto error = preferred_->remove(service, account);
  if (hasNoService(error)) return fallback_->write(service, account, std::string());
  if (error) return error;
  return fallback_->remove(service, account);
}

}  // namespace kovali
