#include "app/shell/launch/command_line.h"

#include <gtest/gtest.h>

namespace kovali {
namespace {

QStringList launch(std::initializer_list<const char*> arguments) {
  QStringList list{QStringLiteral("kovali-host")};
  for (const char* argument : arguments) list << QString::fromUtf8(argument);
  return list;
}

TEST(CommandLine, ReadsTheMusicFolderAndTheDJPINInEveryForm) {
  struct Case {
    const char* name;
    QStringList arguments;
    CommandLine expected;
  } cases[] = {
      {"nothing", launch({}), {}},
      {"--music DIR", launch({"--music", "/srv/songs"}), {QStringLiteral("/srv/songs"), std::nullopt}},
      {"--music=DIR", launch({"--music=/srv/songs"}), {QStringLiteral("/srv/songs"), std::nullopt}},
      {"-djPIN PIN", launch({"-djPIN", "2468"}), {std::nullopt, QStringLiteral("2468")}},
      {"both", launch({"-djPIN", "135790", "--music", "a b"}), {QStringLiteral("a b"), QStringLiteral("135790")}},
      {"digits of another script",
       launch({"-djPIN", "\u0663\u0664\u0665\u0666"}),
       {std::nullopt, QStringLiteral("\u0663\u0664\u0665\u0666")}},
      {"given twice, the last wins",
       launch({"-djPIN", "1111", "-djPIN", "2222"}),
       {std::nullopt, QStringLiteral("2222")}},
  };
  for (const auto& c : cases) {
    const auto parsed = parseCommandLine(c.arguments);
    ASSERT_TRUE(std::holds_alternative<CommandLine>(parsed))
        << c.name << ": " << std::get<1>(parsed).text.toStdString();
    EXPECT_EQ(std::get<CommandLine>(parsed), c.expected) << c.name;
  }
}

TEST(CommandLine, RefusesWhatItDoesNotKnowWithASentenceTheUsageAndExitCodeTwo) {
  struct Case {
    const char* name;
    QStringList arguments;
    const char* sentence;
  } cases[] = {
      {"unknown option", launch({"--bogus"}), "Unknown option 'bogus'."},
      {"misspelt option", launch({"--muisc", "X"}), "Unknown option 'muisc'."},
      {"trailing --music", launch({"--music"}), "Missing value after '--music'."},
      {"trailing -djPIN", launch({"-djPIN"}), "Missing value after '-djPIN'."},
      {"stray argument", launch({"songs"}), "Unexpected argument: songs"},
      {"letters in the PIN", launch({"-djPIN", "12a4"}), "The DJ PIN \u201C12a4\u201D is not valid"},
      {"short PIN", launch({"-djPIN", "123"}), "The DJ PIN \u201C123\u201D is not valid"},
      {"long PIN", launch({"-djPIN", "1234567"}), "The DJ PIN \u201C1234567\u201D is not valid"},
      {"empty PIN", launch({"-djPIN", ""}), "The DJ PIN \u201C\u201D is not valid"},
  };
  for (const auto& c : cases) {
    const auto parsed = parseCommandLine(c.arguments);
    const auto* exit = std::get_if<CommandLineExit>(&parsed);
    ASSERT_TRUE(exit) << c.name;
    EXPECT_EQ(exit->code, 2) << c.name;
    EXPECT_TRUE(exit->text.startsWith(QString::fromUtf8(c.sentence))) << c.name << ": " << exit->text.toStdString();
    EXPECT_TRUE(exit->text.contains(QStringLiteral("Usage: "))) << c.name << " shows the usage";
  }
}

TEST(CommandLine, HelpAndVersionEndWithZero) {
  for (const char* option : {"--help", "-h"}) {
    const auto parsed = parseCommandLine(launch({option, "--bogus"}));
    const auto* exit = std::get_if<CommandLineExit>(&parsed);
    ASSERT_TRUE(exit) << option;
    EXPECT_EQ(exit->code, 2) << option << ": an unknown option is refused before help is given";
  }
  const auto help = parseCommandLine(launch({"--help"}));
  ASSERT_TRUE(std::holds_alternative<CommandLineExit>(help));
  EXPECT_EQ(std::get<CommandLineExit>(help).code, 0);
  for (const char* option : {"--music <DIR>", "-djPIN <PIN>", "--version"}) {
    EXPECT_TRUE(std::get<CommandLineExit>(help).text.contains(QString::fromUtf8(option))) << option;
  }
  const auto version = parseCommandLine(launch({"--version"}));
  ASSERT_TRUE(std::holds_alternative<CommandLineExit>(version));
  EXPECT_EQ(std::get<CommandLineExit>(version).code, 0);
  EXPECT_TRUE(std::get<CommandLineExit>(version).text.startsWith(QStringLiteral("kovali-host ")));
}

}  // namespace
}  // namespace kovali
