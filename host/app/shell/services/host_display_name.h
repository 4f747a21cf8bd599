#pragma once

#include <QString>
#include <optional>
#include <string>

namespace kovali {

/// The machine's pretty name ("Zoé's Laptop") from the text of /etc/machine-info, when it sets
/// a non-empty PRETTY_HOSTNAME.
std::optional<QString> prettyHostName(const QString& machineInfo);

/// The name phones see for this host: the pretty name, else `hostName`, else "Kovali".
std::string hostDisplayName(const std::optional<QString>& prettyName, const QString& hostName);

/// The name phones see, read from this machine.
std::string hostDisplayName();

}  // namespace kovali
