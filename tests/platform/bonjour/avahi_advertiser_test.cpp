// These tests talk to a real avahi-daemon, so they run only inside the private network namespace
// that tests/platform/bonjour/avahi_namespace_test.sh sets up (ctest runs it as "avahi_namespace").

#include "platform/bonjour/avahi_advertiser.h"

#include <algorithm>
#include <cctype>
#include <optional>
#include <string>
#include <vector>

#include <QNetworkInterface>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

namespace kovali {
namespace {

const std::string serviceType = "_kovali._tcp";

struct BrowsedService {
  std::string name;
  int port = 0;
  std::vector<std::string> txt;
};

/// Undoes avahi-browse's escaping of names: "\032" is the byte 32, "\." a dot.
std::string unescape(const std::string& text) {
  std::string result;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 >= text.size()) {
      result += text[i];
    } else if (i + 3 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
      result += static_cast<char>(std::stoi(text.substr(i + 1, 3)));
      i += 3;
    } else {
      result += text[++i];
    }
  }
  return result;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find(separator, start)) != std::string::npos; start = end + 1) {
    parts.push_back(text.substr(start, end - start));
  }
  parts.push_back(text.substr(start));
  return parts;
}

/// What `avahi-browse -r -t -p` resolves of our service type, one entry per name.
std::vector<BrowsedService> browse() {
  QProcess process;
  process.start("avahi-browse", {"-r", "-t", "-p", QString::fromStdString(serviceType)});
  if (!process.waitForFinished(20000)) {
    ADD_FAILURE() << "avahi-browse did not finish";
    process.kill();
    process.waitForFinished();
    return {};
  }
  std::vector<BrowsedService> services;
  for (const auto& line : split(process.readAllStandardOutput().toStdString(), '\n')) {
    // =;interface;protocol;name;type;domain;host;address;port;"txt" "txt"
    const auto fields = split(line, ';');
    if (fields.size() < 10 || fields[0] != "=") continue;
    BrowsedService service{unescape(fields[3]), std::stoi(fields[8]), {}};
    if (std::any_of(services.begin(), services.end(), [&](const auto& s) { return s.name == service.name; })) {
      continue;
    }
    for (const auto& quoted : split(fields[9], ' ')) {
      if (quoted.size() >= 2) service.txt.push_back(quoted.substr(1, quoted.size() - 2));
    }
    services.push_back(service);
  }
  return services;
}

std::optional<BrowsedService> browseFor(const std::string& name) {
  for (auto& service : browse()) {
    if (service.name == name) return service;
  }
  return std::nullopt;
}

bool runCommand(const QString& program, const QStringList& arguments) {
  QProcess process;
  process.start(program, arguments);
  return process.waitForFinished(10000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

/// One advertiser and what it reported.
struct Observed {
  Observed() {
    QObject::connect(&advertiser, &ServiceAdvertiser::registered,
                     [this](const std::string& name) { registered.push_back(name); });
    QObject::connect(&advertiser, &ServiceAdvertiser::failed,
                     [this](const AdvertiserError& error) { failures.push_back(error); });
  }
  /// Waits until `count` registrations in all were reported; a new failure ends the wait.
  bool waitForRegistrations(std::size_t count) {
    const auto failuresBefore = failures.size();
    (void)QTest::qWaitFor([&] { return registered.size() >= count || failures.size() > failuresBefore; }, 15000);
    return registered.size() >= count;
  }

  AvahiAdvertiser advertiser;
  std::vector<std::string> registered;
  std::vector<AdvertiserError> failures;
};

class AvahiNamespace : public ::testing::Test {
 protected:
  void SetUp() override {
    if (qEnvironmentVariableIsEmpty("KOVALI_AVAHI_NAMESPACE")) {
      GTEST_SKIP() << "runs inside tests/platform/bonjour/avahi_namespace_test.sh (ctest: avahi_namespace)";
    }
    for (const auto& interface : QNetworkInterface::allInterfaces()) {
      if (!(interface.flags() & QNetworkInterface::IsLoopBack)) {
        FAIL() << "refusing to publish: interface " << interface.name().toStdString()
               << " reaches beyond this machine";
      }
    }
  }

  ServiceRecord record(const std::string& name) const {
    return {name, serviceType, 4242, {{"session", "S-1"}, {"v", "1"}}};
  }
};

TEST_F(AvahiNamespace, PublishesTheServiceWithItsTXTRecord) {
  Observed host;
  host.advertiser.publish(record("Kovali Test Party"));
  EXPECT_TRUE(host.registered.empty());  // reported later, never inside publish
  ASSERT_TRUE(host.waitForRegistrations(1));
  EXPECT_EQ(host.registered.front(), "Kovali Test Party");

  const auto found = browseFor("Kovali Test Party");
  ASSERT_TRUE(found);
  EXPECT_EQ(found->port, 4242);
  EXPECT_EQ(found->txt, (std::vector<std::string>{"session=S-1", "v=1"}));
}

TEST_F(AvahiNamespace, UpdatesTheTXTRecordInPlace) {
  Observed host;
  auto party = record("Kovali TXT Party");
  host.advertiser.publish(party);
  ASSERT_TRUE(host.waitForRegistrations(1));

  party.txt.push_back({"mode", "suggestion"});
  host.advertiser.publish(party);
  const bool updated = QTest::qWaitFor([&] {
    const auto found = browseFor("Kovali TXT Party");
    return found && std::count(found->txt.begin(), found->txt.end(), "mode=suggestion") == 1;
  }, 15000);

  EXPECT_TRUE(updated);
  EXPECT_EQ(host.registered.size(), 1u) << "the service was registered again";
  EXPECT_TRUE(host.failures.empty());
}

TEST_F(AvahiNamespace, ChoosesAnAlternativeNameWhenTheNameIsTaken) {
  Observed first;
  Observed second;
  first.advertiser.publish(record("Clash Party"));
  ASSERT_TRUE(first.waitForRegistrations(1));
  auto clash = record("Clash Party");
  clash.port = 4243;  // identical records would not conflict
  second.advertiser.publish(clash);
  ASSERT_TRUE(second.waitForRegistrations(1));

  EXPECT_EQ(first.registered.front(), "Clash Party");
  EXPECT_EQ(second.registered.front(), "Clash Party #2");
  EXPECT_TRUE(browseFor("Clash Party #2"));
}

TEST_F(AvahiNamespace, PublishesALongNameCutToSixtyThreeBytes) {
  std::string longName;
  for (int i = 0; i < 40; ++i) longName += "ü";
  Observed host;
  host.advertiser.publish(record(longName));
  ASSERT_TRUE(host.waitForRegistrations(1));

  const std::string cut = longName.substr(0, 62);
  EXPECT_EQ(host.registered.front(), cut);
  EXPECT_TRUE(browseFor(cut));
}

TEST_F(AvahiNamespace, PublishesUnderTheHostNameWhenTheNameIsEmpty) {
  Observed host;
  host.advertiser.publish(record(""));
  ASSERT_TRUE(host.waitForRegistrations(1));
  EXPECT_EQ(host.registered.front(), "kovali-namespace-test");  // set by in_bonjour_namespace.sh
}

TEST_F(AvahiNamespace, WithdrawTakesTheServiceOffTheNetwork) {
  Observed host;
  host.advertiser.publish(record("Kovali Leaving Party"));
  ASSERT_TRUE(host.waitForRegistrations(1));
  ASSERT_TRUE(browseFor("Kovali Leaving Party"));

  host.advertiser.withdraw();
  EXPECT_TRUE(QTest::qWaitFor([] { return !browseFor("Kovali Leaving Party"); }, 15000));
}

// Stops and restarts the namespace's own daemon, so it comes last.
TEST_F(AvahiNamespace, ReportsAStoppedDaemonAndPublishesAgainOnceItIsBack) {
  Observed host;
  host.advertiser.publish(record("Kovali Sturdy Party"));
  ASSERT_TRUE(host.waitForRegistrations(1));

  ASSERT_TRUE(runCommand("avahi-daemon", {"-k"}));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !host.failures.empty(); }, 15000));
  EXPECT_EQ(host.failures.front().kind, AdvertiserError::Kind::serviceNotRunning);
  EXPECT_EQ(host.failures.front().message(),
            "This computer's Bonjour service stopped answering. Check that avahi-daemon is running.");

  Observed early;
  early.advertiser.publish(record("Kovali Early Party"));
  EXPECT_TRUE(early.failures.empty());  // reported later, never inside publish
  ASSERT_TRUE(QTest::qWaitFor([&] { return !early.failures.empty(); }, 15000));
  EXPECT_EQ(early.failures.front().kind, AdvertiserError::Kind::serviceNotRunning);

  ASSERT_TRUE(runCommand("avahi-daemon", {"-D", "--no-rlimits"}));
  ASSERT_TRUE(QTest::qWaitFor([] { return runCommand("avahi-daemon", {"-c"}); }, 10000));
  host.advertiser.publish(record("Kovali Sturdy Party"));
  ASSERT_TRUE(host.waitForRegistrations(2));
  EXPECT_TRUE(browseFor("Kovali Sturdy Party"));
}

}  // namespace
}  // namespace kovali
