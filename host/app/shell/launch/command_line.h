#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <variant>

namespace kovali {

/// What the host was asked to do on its command line.
struct CommandLine {
  std::optional<QString> musicFolder;  // "--music DIR"
  std::optional<QString> djPIN;        // "-djPIN PIN", already checked to be a valid PIN

  bool operator==(const CommandLine&) const = default;
};

/// The process ends at once: `text` goes to standard output when `code` is 0, else to standard
/// error.
struct CommandLineExit {
  int code = 0;
  QString text;

  bool operator==(const CommandLineExit&) const = default;
};

/// Reads `arguments` (program first, Qt's own options already taken out). "--help" and
/// "--version" end with 0; an unknown option, a missing value, a stray argument or an invalid
/// PIN ends with 2 and a sentence followed by the usage.
std::variant<CommandLine, CommandLineExit> parseCommandLine(const QStringList& arguments);

}  // namespace kovali
