#include "heos/heos_socket.h"

#include <memory>
#include <variant>

#include <QTest>
#include <gtest/gtest.h>

#include "support/fake_heos_device.h"
#include "support/manual_scheduler.h"
#include "support/task_result.h"

namespace kovali {
namespace {

using Outcome = std::variant<HEOSResponse, HEOSError>;

QCoro::Task<Outcome> outcomeOf(QCoro::Task<HEOSResponse> task) {
  try {
    co_return co_await std::move(task);
  } catch (const HEOSError& error) {
    co_return error;
  }
}

QCoro::Task<std::optional<HEOSError>> openFailure(QCoro::Task<> task) {
  try {
    co_await std::move(task);
    co_return std::nullopt;
  } catch (const HEOSError& error) {
    co_return error;
  }
}

std::string errorText(const std::optional<Outcome>& outcome) {
  if (!outcome) return "(still waiting)";
  const auto* error = std::get_if<HEOSError>(&*outcome);
  return error ? error->description() : "(succeeded)";
}

QByteArray line(const std::string& text) { return QByteArray::fromStdString(text) + "\r\n"; }

/// A socket to a fake device on 127.0.0.2, its time limits on a manual clock.
class HEOSSocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(device.listen());
    socket = std::make_unique<HEOSSocket>(device.address(), device.port(), scheduler);
    QObject::connect(socket.get(), &HEOSSocket::eventArrived, [this](const HEOSResponse& e) { events.push_back(e); });
    QObject::connect(socket.get(), &HEOSSocket::dropped, [this](const std::string& r) { drops.push_back(r); });
  }

  void open() {
    const auto failure = waitForResult(openFailure(socket->open(4)));
    ASSERT_TRUE(failure.has_value()) << "open did not end";
    ASSERT_FALSE(*failure) << (*failure)->description();
  }

  std::shared_ptr<std::optional<Outcome>> request(const std::string& command,
                                                  std::vector<std::pair<std::string, std::string>> parameters = {},
                                                  double timeout = 10) {
    return startTask(outcomeOf(socket->request(heosCommandLine(command, parameters), timeout)));
  }

  static bool waitFor(const std::shared_ptr<std::optional<Outcome>>& result) {
    return QTest::qWaitFor([&] { return result->has_value(); }, 10'000);
  }

  /// Lets every queued delivery of the event loop happen, then a little more.
  static void settle() { QTest::qWait(50); }

  ManualScheduler scheduler;
  FakeHEOSDevice device{QHostAddress("127.0.0.2")};
  std::unique_ptr<HEOSSocket> socket;
  std::vector<HEOSResponse> events;
  std::vector<std::string> drops;
};

TEST_F(HEOSSocketTest, AnswersARequestWithItsReply) {
  open();
  device.players = {{.pid = 5, .name = "Den", .volume = 30}};
  const auto result = request("player/get_volume", {{"pid", "5"}});
  ASSERT_TRUE(waitFor(result));
  ASSERT_TRUE(std::holds_alternative<HEOSResponse>(**result)) << errorText(*result);
  EXPECT_EQ(std::get<HEOSResponse>(**result).message, "pid=5&level=30");
  EXPECT_EQ(device.lines(), std::vector<std::string>{"heos://player/get_volume?pid=5"});
}

TEST_F(HEOSSocketTest, ReadsSeveralLinesFromOneReadAndIgnoresWhatMatchesNothing) {
  open();
  device.players = {{.pid = 5, .name = "Den", .volume = 30}};
  device.faults["player/get_volume"].junkBefore = {
      R"({"heos":{"command":"event/player_state_changed","message":"pid=5&state=play"}})", "", "not json",
      heosReplyLine("player/get_play_state", "pid=5&state=stop")};
  const auto result = request("player/get_volume", {{"pid", "5"}});
  ASSERT_TRUE(waitFor(result));
  EXPECT_EQ(std::get<HEOSResponse>(**result).message, "pid=5&level=30");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].message, "pid=5&state=play");
}

TEST_F(HEOSSocketTest, WaitsForTheRestOfAReplySplitOverTwoReadsAndSkipsTheInterimNotice) {
  open();
  device.players = {{.pid = 5, .name = "Den", .state = "pause"}};
  device.faults["player/get_play_state"] = {.interim = true, .split = true};
  const auto result = request("player/get_play_state", {{"pid", "5"}});
  ASSERT_TRUE(waitFor(result));
  EXPECT_EQ(std::get<HEOSResponse>(**result).message, "pid=5&state=pause");
}

TEST_F(HEOSSocketTest, HandsOnAnEventThatArrivesDuringARequestAndKeepsWaiting) {
  open();
  device.faults["system/heart_beat"].noAnswer = true;
  const auto result = request("system/heart_beat");
  ASSERT_TRUE(device.waitForCommands(1));
  device.sendRaw(1, line(R"({"heos":{"command":"event/players_changed","message":""}})"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !events.empty(); }, 10'000));
  EXPECT_FALSE(result->has_value());
  device.sendRaw(1, line(heosReplyLine("system/heart_beat", "")));
  ASSERT_TRUE(waitFor(result));
  EXPECT_TRUE(std::holds_alternative<HEOSResponse>(**result));
}

TEST_F(HEOSSocketTest, FailsWithTheDevicesErrorOnAFailedReply) {
  open();
  device.faults["player/get_volume"].error = "eid=2&text=ID Not Valid";
  const auto result = request("player/get_volume", {{"pid", "99"}});
  ASSERT_TRUE(waitFor(result));
  EXPECT_EQ(errorText(*result), "ID Not Valid (HEOS error 2)");
}

TEST_F(HEOSSocketTest, TimesOutAndALateReplyCompletesOnlyAMatchingLaterRequest) {
  open();
  device.faults["system/heart_beat"].noAnswer = true;
  device.faults["player/get_volume"].noAnswer = true;
  const auto first = request("player/get_volume", {{"pid", "1"}});
  ASSERT_TRUE(device.waitForCommands(1));
  scheduler.advance(10);
  ASSERT_TRUE(waitFor(first));
  EXPECT_EQ(errorText(*first), "HEOS did not answer player/get_volume in time.");

  // The late reply names player 1, so it cannot answer the request for player 2.
  const auto second = request("player/get_volume", {{"pid", "2"}});
  ASSERT_TRUE(device.waitForCommands(2));
  device.sendRaw(1, line(heosReplyLine("player/get_volume", "pid=1&level=10")));
  settle();
  EXPECT_FALSE(second->has_value());
  device.sendRaw(1, line(heosReplyLine("player/get_volume", "pid=2&level=20")));
  ASSERT_TRUE(waitFor(second));
  EXPECT_EQ(std::get<HEOSResponse>(**second).message, "pid=2&level=20");

  // Without a player to tell them apart, a late reply answers the next request of its name.
  const auto beat = request("system/heart_beat");
  ASSERT_TRUE(device.waitForCommands(3));
  scheduler.advance(10);
  ASSERT_TRUE(waitFor(beat));
  const auto nextBeat = request("system/heart_beat");
  ASSERT_TRUE(device.waitForCommands(4));
  device.sendRaw(1, line(heosReplyLine("system/heart_beat", "")));
  ASSERT_TRUE(waitFor(nextBeat));
  EXPECT_TRUE(std::holds_alternative<HEOSResponse>(**nextBeat));
}

TEST_F(HEOSSocketTest, SendsQueuedRequestsOneAtATimeEvenWhenOneTimesOut) {
  open();
  device.faults["system/heart_beat"].noAnswer = true;
  const auto first = request("system/heart_beat", {}, 10);
  const auto second = request("system/heart_beat", {}, 5);
  const auto third = request("system/heart_beat", {}, 10);
  ASSERT_TRUE(device.waitForCommands(1));
  settle();
  EXPECT_EQ(device.received.size(), 1u);

  device.sendRaw(1, line(heosReplyLine("system/heart_beat", "")));
  ASSERT_TRUE(waitFor(first));
  ASSERT_TRUE(device.waitForCommands(2));
  settle();
  EXPECT_EQ(device.received.size(), 2u);

  scheduler.advance(5);  // the second one's limit
  ASSERT_TRUE(waitFor(second));
  EXPECT_EQ(errorText(*second), "HEOS did not answer system/heart_beat in time.");
  ASSERT_TRUE(device.waitForCommands(3));
  EXPECT_FALSE(third->has_value());
}

TEST_F(HEOSSocketTest, RefusesRequestsWhenNotOpenAndSendsNothing) {
  const auto beforeOpen = request("system/heart_beat");
  ASSERT_TRUE(waitFor(beforeOpen));
  EXPECT_EQ(errorText(*beforeOpen), "Not connected to HEOS.");

  open();
  socket->close();
  const auto afterClose = request("system/heart_beat");
  ASSERT_TRUE(waitFor(afterClose));
  EXPECT_EQ(errorText(*afterClose), "Not connected to HEOS.");
  settle();
  EXPECT_TRUE(device.received.empty());
}

TEST_F(HEOSSocketTest, RefusesAValueWithALineBreakBeforeSending) {
  open();
  const auto result = request("player/set_volume", {{"pid", "1\r\nheos://player/set_volume?pid=1&level=100"}});
  ASSERT_TRUE(waitFor(result));
  EXPECT_EQ(errorText(*result), "A HEOS command cannot hold a line break.");
  const auto next = request("system/heart_beat");
  ASSERT_TRUE(waitFor(next));
  EXPECT_EQ(device.lines(), std::vector<std::string>{"heos://system/heart_beat"});
}

TEST_F(HEOSSocketTest, ClosingFailsThePendingRequestSilentlyAndOnlyOnce) {
  open();
  device.faults["system/heart_beat"].noAnswer = true;
  const auto result = request("system/heart_beat");
  ASSERT_TRUE(device.waitForCommands(1));
  socket->close();
  socket->close();
  ASSERT_TRUE(waitFor(result));
  EXPECT_EQ(errorText(*result), "The HEOS connection was closed.");
  device.closeConnections();
  settle();
  EXPECT_TRUE(drops.empty());
}

TEST_F(HEOSSocketTest, APeerCloseFailsTheRequestAndIsReportedOnce) {
  open();
  device.faults["system/heart_beat"].noAnswer = true;
  const auto result = request("system/heart_beat");
  ASSERT_TRUE(device.waitForCommands(1));
  device.closeConnections();
  ASSERT_TRUE(waitFor(result));
  EXPECT_EQ(errorText(*result), "HEOS closed the connection.");
  settle();
  EXPECT_EQ(drops, std::vector<std::string>{"HEOS closed the connection."});
  socket->close();
  EXPECT_EQ(drops.size(), 1u);
}

TEST_F(HEOSSocketTest, DropsAPeerThatSendsTooMuchWithoutALineEnd) {
  open();
  device.sendRaw(1, QByteArray(HEOSSocket::maxBufferedBytes + 1, 'x'));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !drops.empty(); }, 20'000));
  EXPECT_EQ(drops, std::vector<std::string>{"HEOS sent more than 4 MiB without a line end."});
}

TEST_F(HEOSSocketTest, OpenTimesOutWithTheStatesSeen) {
  HEOSSocket late(device.address(), device.port(), scheduler);
  auto failure = startTask(openFailure(late.open(4)));
  scheduler.advance(4);  // before the event loop could finish connecting
  ASSERT_TRUE(QTest::qWaitFor([&] { return failure->has_value(); }, 10'000));
  ASSERT_TRUE(**failure);
  const auto text = (**failure)->description();
  EXPECT_TRUE(text.starts_with("127.0.0.2 did not answer (states: ")) << text;
  EXPECT_TRUE(text.ends_with(").")) << text;
  EXPECT_FALSE(late.isOpen());
}

TEST_F(HEOSSocketTest, OpenFailsWithThePlatformErrorWhenRefused) {
  const auto port = device.port();
  device.stopListening();
  HEOSSocket refused("127.0.0.2", port, scheduler);
  const auto failure = waitForResult(openFailure(refused.open(4)));
  ASSERT_TRUE(failure.has_value());
  ASSERT_TRUE(*failure);
  EXPECT_FALSE((*failure)->text.empty());
  EXPECT_FALSE((*failure)->code);
}

}  // namespace
}  // namespace kovali
