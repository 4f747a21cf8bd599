// The kovali-host executable's answers to its command line: they come before anything starts, so
// no daemon is needed. Run by ctest as kovali_host_command_line, which names the executable.

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

namespace kovali {
namespace {

struct Outcome {
  int code = -1;
  QString out;
  QString err;
};

Outcome run(const QStringList& arguments) {
  QTemporaryDir home;
  QProcess process;
  QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
  environment.remove("DISPLAY");
  environment.remove("WAYLAND_DISPLAY");
  environment.insert("HOME", home.path());
  environment.insert("XDG_CONFIG_HOME", home.path());
  environment.insert("XDG_DATA_HOME", home.path());
  process.setProcessEnvironment(environment);
  process.start(qEnvironmentVariable("KOVALI_HOST_EXECUTABLE"), arguments);
  if (!process.waitForFinished(15000)) {
    process.kill();
    process.waitForFinished();
    return {};
  }
  return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
          QString::fromLocal8Bit(process.readAllStandardOutput()),
          QString::fromLocal8Bit(process.readAllStandardError())};
}

class KovaliHostCommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("KOVALI_HOST_EXECUTABLE")) {
      GTEST_SKIP() << "runs as ctest kovali_host_command_line, which names the executable";
    }
  }
};

TEST_F(KovaliHostCommandLine, EachBadFormPrintsWhyAndTheUsageAndExitsWithTwo) {
  const QStringList bad[] = {{"--bogus"}, {"--muisc", "X"}, {"--music"}, {"-djPIN", "12a4"}, {"-djPIN"}, {"extra"}};
  for (const auto& arguments : bad) {
    const auto outcome = run(arguments);
    EXPECT_EQ(outcome.code, 2) << arguments.join(u' ').toStdString();
    EXPECT_TRUE(outcome.err.contains(QStringLiteral("Usage: "))) << outcome.err.toStdString();
    EXPECT_TRUE(outcome.out.isEmpty()) << outcome.out.toStdString();
  }
}

TEST_F(KovaliHostCommandLine, HelpAndVersionGoToStandardOutputAndExitWithZero) {
  const auto help = run({"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_TRUE(help.out.contains(QStringLiteral("-djPIN <PIN>"))) << help.out.toStdString();
  const auto version = run({"--version"});
  EXPECT_EQ(version.code, 0);
  EXPECT_TRUE(version.out.startsWith(QStringLiteral("kovali-host "))) << version.out.toStdString();
}

}  // namespace
}  // namespace kovali
