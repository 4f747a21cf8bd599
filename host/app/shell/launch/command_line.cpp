#include "app/shell/launch/command_line.h"

#include <QCommandLineParser>

#include "session/participants/dj_pin.h"

namespace kovali {

namespace {

constexpr int kUsageError = 2;

// Qt writes every long option with two dashes; the PIN's is known with one.
QString usage(const QCommandLineParser& parser) {
  return parser.helpText().replace(QStringLiteral("--djPIN"), QStringLiteral("-djPIN"));
}

CommandLineExit usageError(const QString& sentence, const QCommandLineParser& parser) {
  return CommandLineExit{kUsageError, sentence + u'\n' + usage(parser)};
}

}  // namespace

std::variant<CommandLine, CommandLineExit> parseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(
      QStringLiteral("Hosts a Kovali party: phones on this network join it, and the queue plays from a music folder."));
  // "-djPIN" is one option, not the letters d, j, P, I and N.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, QStringLiteral("Shows this help."));
  const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                   QStringLiteral("Shows the version."));
  const QCommandLineOption music(QStringLiteral("music"),
                                 QStringLiteral("Plays the audio files in DIR (default: the Music folder)."),
                                 QStringLiteral("DIR"));
  const QCommandLineOption pin(QStringLiteral("djPIN"),
                               QStringLiteral("The PIN with which a guest becomes DJ, 4 to 6 digits, for this run "
                                              "(default: the one kept in the keychain)."),
                               QStringLiteral("PIN"));
  parser.addOptions({help, version, music, pin});

  if (!parser.parse(arguments)) return usageError(parser.errorText(), parser);
  if (parser.isSet(help)) return CommandLineExit{0, usage(parser)};
  if (parser.isSet(version)) {
    return CommandLineExit{0, QStringLiteral("kovali-host " KOVALI_VERSION "\n")};
  }
  if (!parser.positionalArguments().isEmpty()) {
    return usageError(QStringLiteral("Unexpected argument: %1").arg(parser.positionalArguments().constFirst()), parser);
  }
  CommandLine line;
  if (parser.isSet(music)) line.musicFolder = parser.value(music);
  if (parser.isSet(pin)) {
    const QString value = parser.value(pin);
    if (!DJPIN::isValid(value.toStdString())) {
      return usageError(QStringLiteral("The DJ PIN \u201C%1\u201D is not valid: a PIN has 4 to 6 digits.").arg(value),
                        parser);
    }
    line.djPIN = value;
  }
  return line;
}

}  // namespace kovali
