// The kovali-host executable as a user starts it, with a phone on loopback. Runs inside
// tests/app/shell/launch/kovali_host_test.sh (ctest: kovali_host), which gives it an avahi-daemon of its own.

#include <gtest/gtest.h>
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
#include <functional>
#include <regex>

#include "protocol/event.h"
#include "support/guest_client.h"

namespace kovali {
namespace {

using vinaro::Command;
using vinaro::Event;
using vinaro::SessionState;

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

    process_.start(qEnvironmentVariable("KOVALI_HOST_EXECUTABLE"), QStringList{"--music", root + "/music"} + arguments);
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
    return process_.waitForFinished(15000) && process_.exitStatus() == QProcess::NormalExit && process_.exitCode() == 0;
  }

  QString dataFolder() const { return folder_.path() + "/data/kovaliapp/kovali-host"; }
  const QString& log() const { return log_; }

 private:
  QTemporaryDir folder_;
  QProcess process_;
  QString log_;
};

/// The reply to message `id`, waiting up to `ms`.
std::optional<vinaro::Envelope<Event>> replyTo(const GuestClient& phone, const std::string& id, int ms) {
  std::optional<vinaro::Envelope<Event>> reply;
  (void)QTest::qWaitFor(
      [&] {
        for (std::size_t i = 0; i < phone.received.size() && !reply; ++i) {
          if (auto event = phone.event(i); event && event->replyTo == id) reply = std::move(event);
        }
        return reply.has_value();
      },
      ms);
  return reply;
}

/// Whether a state that satisfies `wanted` arrives within `ms`.
bool waitForState(const GuestClient& phone, const std::function<bool(const SessionState&)>& wanted, int ms) {
  return QTest::qWaitFor(
      [&] {
        for (std::size_t i = 0; i < phone.received.size(); ++i) {
          const auto event = phone.event(i);
          const auto* state = event ? std::get_if<SessionState>(&event->body.payload) : nullptr;
          if (state && wanted(*state)) return true;
        }
        return false;
      },
      ms);
}

class KovaliHostProcess : public ::testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("KOVALI_HOST_EXECUTABLE")) {
      GTEST_SKIP() << "runs inside tests/app/shell/launch/kovali_host_test.sh (ctest: kovali_host)";
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
  // The phone is known by a public id, never by its device id.
  EXPECT_TRUE(std::regex_match(greeting->participantID,
                               std::regex("[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}")))
      << greeting->participantID;

  phone.sendCommand("pin", Command{Command::AuthenticateDJ{"2468"}});
  ASSERT_TRUE(phone.waitForMessages(4));
  EXPECT_EQ(phone.event(1)->body.type(), "roleChanged");

  ASSERT_TRUE(host.terminate()) << host.log().toStdString();
  QFile saved(host.dataFolder() + "/Session.json");
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << saved.fileName().toStdString();
  const auto session = QJsonDocument::fromJson(saved.readAll()).object();
  EXPECT_EQ(session.value("state").toObject().value("sessionID").toString().toStdString(), greeting->state.sessionID);
  EXPECT_EQ(session.value("djDeviceIDs").toArray().first().toString(), "device-ana");
}

TEST_F(KovaliHostProcess, PlaysTheDemoSongsAPhoneAddedAndMovesOnWhenOneEnds) {
  if (qEnvironmentVariableIsEmpty("KOVALI_HOST_SOUND")) GTEST_SKIP() << "no sound server was started";
  HostProcess host({"-djPIN", "2468"});
  const auto port = host.waitUntilAdvertised();
  ASSERT_NE(port, 0) << host.log().toStdString();
  GuestClient phone;
  ASSERT_TRUE(phone.connectTo(port));
  phone.sendCommand("hi", Command{Command::Hello{"Dee", "device-dj", 1}});
  phone.sendCommand("pin", Command{Command::AuthenticateDJ{"2468"}});
  ASSERT_TRUE(replyTo(phone, "pin", GuestClient::timeoutMs));

  // The demo library is made and indexed at the first start; until then the music is not ready.
  std::vector<vinaro::Track> found;
  for (int attempt = 0; attempt < 60 && found.size() < 2; ++attempt) {
    const std::string id = "find-" + std::to_string(attempt);
    phone.sendCommand(id, Command{Command::Search{"e", 25, Command::SearchKind::songs}});
    const auto reply = replyTo(phone, id, GuestClient::timeoutMs);
    ASSERT_TRUE(reply) << host.log().toStdString();
    if (const auto* results = std::get_if<Event::SearchResults>(&reply->body.payload)) found = results->tracks;
    if (found.size() < 2) QTest::qWait(500);
  }
  ASSERT_GE(found.size(), 2u) << host.log().toStdString();

  phone.sendCommand("add-1", Command{Command::Add{found[0].id}});
  phone.sendCommand("add-2", Command{Command::Add{found[1].id}});
  ASSERT_TRUE(replyTo(phone, "add-2", GuestClient::timeoutMs));
  phone.sendCommand("play", Command{Command::Play{}});

  const auto playing = [&](const std::string& id) {
    return [id](const SessionState& state) {
      return state.playback.status == vinaro::PlaybackStatus::playing && state.playback.current &&
             state.playback.current->track.id == id;
    };
  };
  ASSERT_TRUE(waitForState(phone, playing(found[0].id), GuestClient::timeoutMs)) << host.log().toStdString();
  // A demo song lasts 20 s; its end moves the party on to the next one.
  const double seconds = found[0].duration.value_or(20);
  EXPECT_TRUE(waitForState(phone, playing(found[1].id), static_cast<int>(seconds * 1000) + 20000))
      << host.log().toStdString();
  EXPECT_TRUE(host.terminate());
}

}  // namespace
}  // namespace kovali
