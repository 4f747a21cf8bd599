#include "support/in_memory_secret_store.h"

namespace kovali {

SecretReadResult InMemorySecretStore::read(const std::string& service, const std::string& account) {
  if (failure) return *failure;
  const auto item = items.find({service, account});
  if (item == items.end()) return std::optional<std::string>();
  return std::optional<std::string>(item->second);
}

std::optional<SecretError> InMemorySecretStore::write(const std::string& service, const std::string& account,
                                                      const std::string& value) {
  if (failure) return failure;
  ++writes;
  items[{service, account}] = value;
  return std::nullopt;
}

std::optional<SecretError> InMemorySecretStore::remove(const std::string& service, const std::string& account) {
  if (failure) return failure;
  ++removals;
  items.erase({service, account});
  return std::nullopt;
}

}  // namespace kovali
