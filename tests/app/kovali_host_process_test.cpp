// The kovali-host executable as a user starts it, with a phone on loopback. Runs inside
// tests/app/kovali_host_test.sh (ctest: kovali_host), which gives it an avahi-daemon of its own.

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkInterface>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include "protocol/event.h"
#include "support/guest_client.h"

namespace kovali {
namespace {

using vinaro::Command;
using vinaro::Event;

/// kovali-host in folders of its own, with its log kept.
class HostProcess {
 public:
  explicit HostProcess(QStringList arguments) {
    const QString root = folder_.path();
    for (const char* sub : {"home", "config", "data", "cache", "runtime", "music"}) QDir(root).mkdir(sub);
    ::chmod(QFile::encodeName(root + "/runtime").constData(), 0700);

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "DBUS_SESSION_BUS_ADDRESS"}) {
      environment.remove(name);
    }
    environment.insert("HOME", root + "/home");
    environment.insert("XDG_CONFIG_HOME", root + "/config");
    environment.insert("XDG_DATA_HOME", root + "/data");
    environment.insert("XDG_CACHE_HOME", root + "/cache");
    environment.insert("XDG_RUNTIME_DIR", root + "/runtime");
    process_.setProcessEnvironment(environment);
    QObject::connect(&process_, &QProcess::readyReadStandardError,
                     [this] { log_ += QString::fromLocal8Bit(process_.readAllStandardError()); });

    process_.start(qEnvironmentVariable("KOVALI_HOST_EXECUTABLE"),
                   QStringList{"--music", root + "/music"} + arguments);
  }

  ~HostProcess() {
    if (process_.state() != QProcess::NotRunning) {
      process_.kill();
      process_.waitForFinished(5000);
    }
  }

  /// The port the host accepts phones on, once it is advertised; 0 when it never is.
  std::uint16_t waitUntilAdvertised() {
    if (!QTest::qWaitFor([this] { return log_.contains("Guest server advertised as"); }, 20000)) return 0;
    const QRegularExpression listening("Guest server listening on port (\\d+)");
    std::uint16_t port = 0;
    for (auto match = listening.globalMatch(log_); match.hasNext();) {
      port = static_cast<std::uint16_t>(match.next().captured(1).toUInt());
    }
    return port;
  }

  /// Sends SIGTERM; answers whether the host then ended by itself with status 0.
  bool terminate() {
    process_.terminate();
    return process_.waitForFinished(15000) && process_.exitStatus() == QProcess::NormalExit &&
           process_.exitCode() == 0;
  }

  QString dataFolder() const { return folder_.path() + "/data/kovaliapp/kovali-host"; }
  const QString& log() const { return log_; }

 private:
  QTemporaryDir folder_;
  QProcess process_;
  QString log_;
};

class KovaliHostProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("KOVALI_HOST_EXECUTABLE")) {
      GTEST_SKIP() << "runs inside tests/app/kovali_host_test.sh (ctest: kovali_host)";
    }
    for (const auto& interface : QNetworkInterface::allInterfaces()) {
      if (!(interface.flags() & QNetworkInterface::IsLoopBack)) {
        FAIL() << "refusing to start the host: interface " << interface.name().toStdString()
               << " reaches beyond this machine";
      }
    }
  }
};

TEST_F(KovaliHostProcess, WelcomesAPhoneAndSavesTheSessionWhenTerminated) {
  HostProcess host({"-djPIN", "2468"});
  const auto port = host.waitUntilAdvertised();
  ASSERT_NE(port, 0) << host.log().toStdString();

  GuestClient phone;
  ASSERT_TRUE(phone.connectTo(port));
  phone.sendCommand("hi", Command{Command::Hello{"Ana", "device-ana", 1}});
  ASSERT_TRUE(phone.waitForMessages(1));
  const auto welcome = phone.event(0);
  ASSERT_TRUE(welcome);
  EXPECT_EQ(welcome->replyTo, "hi");
  const auto* greeting = std::get_if<Event::Welcome>(&welcome->body.payload);
  ASSERT_TRUE(greeting);
  EXPECT_EQ(greeting->participantID, "device-ana");

  phone.sendCommand("pin", Command{Command::AuthenticateDJ{"2468"}});
  ASSERT_TRUE(phone.waitForMessages(4));
  EXPECT_EQ(phone.event(1)->body.type(), "roleChanged");

  ASSERT_TRUE(host.terminate()) << host.log().toStdString();
  QFile saved(host.dataFolder() + "/Session.json");
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << saved.fileName().toStdString();
  const auto session = QJsonDocument::fromJson(saved.readAll()).object();
  EXPECT_EQ(session.value("state").toObject().value("sessionID").toString().toStdString(),
            greeting->state.sessionID);
  EXPECT_EQ(session.value("djDeviceIDs").toArray().first().toString(), "device-ana");
}

}  // namespace
}  // namespace kovali
