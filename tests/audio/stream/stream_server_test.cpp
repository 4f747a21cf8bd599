#include "audio/stream/stream_server.h"

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpSocket>
#include <memory>
#include <optional>

#include "audio/stream/hls_stream.h"

namespace kovali {
namespace {

using namespace std::chrono_literals;

struct Exchange {
  QByteArray received;
  bool closed = false;
};

/// Sends the request in the given pieces over a new connection and reads until the server closes
/// it or `patience` runs out: every request here ends in a close, so the patience only bounds a
/// fault, and a busy machine's server thread may take seconds to be scheduled.
Exchange ask(quint16 port, const std::vector<QByteArray>& pieces, std::chrono::milliseconds patience = 20s) {
  Exchange result;
  QTcpSocket socket;
  socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
  if (!socket.waitForConnected(3000)) {
    ADD_FAILURE() << "cannot connect to port " << port;
    return result;
  }
  for (const auto& piece : pieces) {
    socket.write(piece);
    socket.waitForBytesWritten(3000);
  }
  QElapsedTimer clock;
  clock.start();
  while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < patience.count()) {
    socket.waitForReadyRead(50);
    result.received += socket.readAll();
  }
  result.received += socket.readAll();
  result.closed = socket.state() != QAbstractSocket::ConnectedState;
  return result;
}

Exchange ask(quint16 port, const QByteArray& bytes) { return ask(port, std::vector{bytes}); }

QByteArray response(const char* status, const char* type, const QByteArray& body, bool withBody = true) {
  return QByteArray("HTTP/1.1 ") + status + "\r\nContent-Type: " + type +
         "\r\nContent-Length: " + QByteArray::number(body.size()) +
         "\r\nCache-Control: no-cache, no-store\r\nConnection: close\r\n\r\n" + (withBody ? body : QByteArray());
}

const QByteArray notFound = response("404 Not Found", "text/plain", "Not found.");

class StreamServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    auto made = HLSStream::make({48000, 2});
    ASSERT_TRUE(made) << made.error().message;
    stream_ = std::move(made).value();
  }

  /// Starts a server over the stream and answers its port; 0 after a recorded failure.
  quint16 startServer(std::chrono::milliseconds idleTimeout = StreamServer::defaultIdleTimeout) {
    server_ = std::make_unique<StreamServer>(stream_, idleTimeout);
    QSignalSpy started(server_.get(), &StreamServer::started);
    QSignalSpy failed(server_.get(), &StreamServer::startFailed);
    server_->start();
    if (!started.wait(5000)) {
      ADD_FAILURE() << "the server did not start; failures: " << failed.size();
      return 0;
    }
    return started.front().front().value<quint16>();
  }

  void addSegments(int count) {
    for (int i = 0; i < count; ++i) {
      stream_->didOutputSegment(HLSStream::SegmentType::media, "S" + QByteArray::number(added_++),
                                HLSStream::SegmentReport{{1.0}});
    }
  }

  std::shared_ptr<HLSStream> stream_;
  std::unique_ptr<StreamServer> server_;
  int added_ = 0;
};

TEST_F(StreamServerTest, AnswersEachRequestWithExactlyOneResponse) {
  stream_->didOutputSegment(HLSStream::SegmentType::initialization, "INIT", std::nullopt);
  addSegments(6);
  const QByteArray playlist = *stream_->playlist();
  const auto port = startServer();
  ASSERT_NE(port, 0);

  struct Case {
    const char* request;
    QByteArray expected;
  };
  const Case cases[] = {
      {"GET /stream.m3u8 HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n",
       response("200 OK", "application/vnd.apple.mpegurl", playlist)},
      {"GET /stream.m3u8?_HLS_msn=4 HTTP/1.1\r\n\r\n", response("200 OK", "application/vnd.apple.mpegurl", playlist)},
      {"HEAD /init.mp4 HTTP/1.1\r\n\r\n", response("200 OK", "video/mp4", "INIT", false)},
      {"head /init.mp4 HTTP/1.1\r\n\r\n", response("200 OK", "video/mp4", "INIT")},
      {"GET /seg5.m4s HTTP/1.1\r\n\r\n", response("200 OK", "video/iso.segment", "S5")},
      {"POST /seg0.m4s HTTP/1.0\r\nContent-Length: 4\r\n\r\nbody", response("200 OK", "video/iso.segment", "S0")},
      {"GET\r\n\r\n", notFound},
      {"\r\n\r\n", notFound},
      {"GET /segment HTTP/1.1\r\n\r\n", notFound},
      {"GET /seg5 HTTP/1.1\r\n\r\n", notFound},
      {"GET /seg6.m4s HTTP/1.1\r\n\r\n", notFound},
      {"GET /seg/../init.mp4 HTTP/1.1\r\n\r\n", notFound},
      {"GET /etc/passwd HTTP/1.1\r\n\r\n", notFound},
      {"GET / HTTP/1.1\r\n\r\n", notFound},
  };
  for (const auto& c : cases) {
    const auto answer = ask(port, QByteArray(c.request));
    EXPECT_EQ(answer.received, c.expected) << c.request;
    EXPECT_TRUE(answer.closed) << c.request;
  }
}

TEST_F(StreamServerTest, PlaylistWaitsForTheFirstSegmentAndSegmentsLeaveTheWindow) {
  const auto port = startServer();
  ASSERT_NE(port, 0);
  const auto notReady = response("503 Service Unavailable", "text/plain", "The stream is not ready yet.");
  EXPECT_EQ(ask(port, "GET /stream.m3u8 HTTP/1.1\r\n\r\n").received, notReady);
  EXPECT_EQ(ask(port, "GET /init.mp4 HTTP/1.1\r\n\r\n").received, notFound);

  stream_->didOutputSegment(HLSStream::SegmentType::initialization, "INIT", std::nullopt);
  EXPECT_EQ(ask(port, "GET /stream.m3u8 HTTP/1.1\r\n\r\n").received, notReady);
  addSegments(6);
  EXPECT_EQ(ask(port, "GET /seg5.m4s HTTP/1.1\r\n\r\n").received, response("200 OK", "video/iso.segment", "S5"));
  addSegments(10);
  EXPECT_EQ(ask(port, "GET /seg5.m4s HTTP/1.1\r\n\r\n").received, notFound);
  EXPECT_EQ(ask(port, "GET /seg6.m4s HTTP/1.1\r\n\r\n").received, response("200 OK", "video/iso.segment", "S6"));
}

TEST_F(StreamServerTest, ReadsAHeadThatArrivesInPieces) {
  stream_->didOutputSegment(HLSStream::SegmentType::initialization, "INIT", std::nullopt);
  const auto port = startServer();
  ASSERT_NE(port, 0);
  const auto answer = ask(port, {"GET /init", ".mp4 HTTP/1.1\r", "\nHost: x\r\n\r", "\n"});
  EXPECT_EQ(answer.received, response("200 OK", "video/mp4", "INIT"));
}

TEST_F(StreamServerTest, ClosesWithoutAnAnswerWhatIsNotAShortHTTPRequest) {
  stream_->didOutputSegment(HLSStream::SegmentType::initialization, "INIT", std::nullopt);
  const auto port = startServer(300ms);
  ASSERT_NE(port, 0);
  struct Case {
    const char* name;
    QByteArray request;
  };
  const Case cases[] = {
      {"70000 bytes without a blank line", QByteArray(70000, 'a')},
      {"a head over 64 KiB", "GET /init.mp4 HTTP/1.1\r\nX: " + QByteArray(66000, 'a') + "\r\n\r\n"},
      {"another protocol version", "GET /init.mp4 HTTP/2.0\r\n\r\n"},
      {"bare line feeds", "GET /init.mp4 HTTP/1.1\n\n"},
      {"nothing at all", ""},
  };
  for (const auto& c : cases) {
    const auto answer = ask(port, c.request);
    EXPECT_EQ(answer.received, "") << c.name;
    EXPECT_TRUE(answer.closed) << c.name;
  }
  // The server still answers afterwards.
  EXPECT_EQ(ask(port, "GET /init.mp4 HTTP/1.1\r\n\r\n").received, response("200 OK", "video/mp4", "INIT"));
}

TEST_F(StreamServerTest, StopClosesThePortAndARestartReportsAgain) {
  const auto port = startServer();
  ASSERT_NE(port, 0);
  QSignalSpy started(server_.get(), &StreamServer::started);
  server_->stop();
  QTcpSocket socket;
  QElapsedTimer clock;
  clock.start();
  bool refused = false;
  while (!refused && clock.elapsed() < 3000) {
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
    refused = !socket.waitForConnected(1000);
    socket.abort();
  }
  EXPECT_TRUE(refused);

  server_->start();
  ASSERT_TRUE(started.wait(5000));
  EXPECT_EQ(ask(started.front().front().value<quint16>(), "GET /x HTTP/1.1\r\n\r\n").received, notFound);
  EXPECT_FALSE(started.wait(200));  // reported once per start
  EXPECT_EQ(started.size(), 1);
}

TEST_F(StreamServerTest, GoingAwayDropsTheOpenConnections) {
  const auto port = startServer();
  ASSERT_NE(port, 0);
  QTcpSocket socket;
  socket.connectToHost(QHostAddress(QHostAddress::LocalHost), port);
  ASSERT_TRUE(socket.waitForConnected(3000));
  socket.write("GET /stream.m3u8 HTTP/1.1\r\n");
  socket.waitForBytesWritten(3000);
  server_.reset();
  QElapsedTimer clock;
  clock.start();
  while (socket.state() == QAbstractSocket::ConnectedState && clock.elapsed() < 3000) socket.waitForReadyRead(50);
  EXPECT_EQ(socket.readAll(), "");
  EXPECT_NE(socket.state(), QAbstractSocket::ConnectedState);
}

}  // namespace
}  // namespace kovali
