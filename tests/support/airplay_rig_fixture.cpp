#include "support/airplay_rig_fixture.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <QTest>

#include "support/speaker_capture.h"

namespace kovali {

namespace {

constexpr int fullVolume = 65536;  // the sound server's 100 %

/// What `pactl --format=json ARGS` prints, or nothing when it fails.
std::optional<QJsonArray> pactlList(const QStringList& args) {
  QProcess pactl;
  pactl.start("pactl", QStringList{"--format=json"} + args);
  if (!pactl.waitForFinished(5000) || pactl.exitStatus() != QProcess::NormalExit || pactl.exitCode() != 0) {
    return std::nullopt;
  }
  const auto document = QJsonDocument::fromJson(pactl.readAllStandardOutput());
  if (!document.isArray()) return std::nullopt;
  return document.array();
}

bool atFullVolume(const QJsonObject& sink) {
  const auto channels = sink["volume"].toObject();
  if (channels.isEmpty()) return false;
  for (const auto& channel : channels) {
    if (channel.toObject()["value"].toInt() != fullVolume) return false;
  }
  return true;
}

/// One look at the rig: why it is not at rest yet (having asked for full volume where it was
/// missing), or nothing when it is.
std::optional<std::string> rigUnsettled() {
  QSet<QString> speakerNames;
  for (const auto& speaker : rigSpeakers()) speakerNames.insert(QString::fromStdString(speaker.name));
  const auto sinks = pactlList({"list", "sinks"});
  const auto inputs = pactlList({"list", "sink-inputs"});
  if (!sinks || !inputs) return "the sound server does not answer pactl";

  QSet<int> speakerSinks;
  std::optional<std::string> unsettled;
  for (const auto& value : *sinks) {
    const auto sink = value.toObject();
    if (!speakerNames.contains(sink["description"].toString())) continue;
    speakerSinks.insert(sink["index"].toInt());
    if (!atFullVolume(sink)) {
      QProcess::execute("pactl", {"set-sink-volume", sink["name"].toString(), "100%"});
      unsettled = "the volume of " + sink["description"].toString().toStdString() + " is not at 100 %";
    }
  }
  if (speakerSinks.size() < speakerNames.size()) return "not every speaker has its AirPlay sink";
  for (const auto& value : *inputs) {
    const auto input = value.toObject();
    if (speakerSinks.contains(input["sink"].toInt())) {
      return "the stream \"" + input["properties"].toObject()["media.name"].toString().toStdString() +
             "\" still plays on a speaker";
    }
  }
  return unsettled;
}

}  // namespace

std::optional<std::string> settleAirPlayRig(int patienceMs) {
  const QDeadlineTimer deadline(patienceMs);
  auto unsettled = rigUnsettled();
  while (unsettled && !deadline.hasExpired()) {
    QTest::qWait(100);
    unsettled = rigUnsettled();
  }
  if (!unsettled) return std::nullopt;
  return "The AirPlay rig did not come to rest on " + rigServer() + ": " + *unsettled + ".";
}

void AirPlayRigTest::SetUp() {
  if (rigSpeakers().size() < 2) GTEST_SKIP() << "needs the speakers of airplay_rig_test.sh";
  const auto unsettled = settleAirPlayRig();
  ASSERT_FALSE(unsettled) << *unsettled;
}

void AirPlayRigTest::TearDown() {
  if (IsSkipped() || rigSpeakers().size() < 2) return;
  const auto unsettled = settleAirPlayRig();
  EXPECT_FALSE(unsettled) << *unsettled;
}

}  // namespace kovali
