#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <QStringList>

#include "platform/secrets/secret_store.h"

namespace kovali {

/// The PIN with which a guest becomes DJ. A launch argument "-djPIN <pin>" takes precedence;
/// otherwise the PIN lives in the user's secret store under the service "kovaliapp" and the
/// account "djPIN".
class DJPIN {
 public:
  static constexpr const char* service = "kovaliapp";
  static constexpr const char* account = "djPIN";

  /// `launchArguments` as the process got them (QCoreApplication::arguments(), program first).
  DJPIN(SecretStore& secrets, QStringList launchArguments);

  /// The PIN in force: the launch argument unchanged (it is not validated here), else the
  /// stored PIN, else "" (also when the store cannot be read).
  std::string load() const;

  /// Stores `pin`, or deletes the stored item when `pin` is empty. A failure is logged and
  /// returned; nothing on success.
  [[nodiscard]] std::optional<SecretError> save(const std::string& pin);

  /// 4, 5 or 6 characters (as people count them) that are all numeric in Unicode's sense:
  /// "1234" and "٣٤٥٦" are valid, "12a4" and "123" are not.
  static bool isValid(std::string_view pin);

  /// The value that follows "-djPIN" in `arguments` (the last one when it is given twice).
  static std::optional<std::string> launchArgument(const QStringList& arguments);

 private:
  SecretStore& secrets_;
  QStringList launchArguments_;
};

}  // namespace kovali
