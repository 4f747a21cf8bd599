#include "audio/stream/stream_listener.h"

#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

#include "audio/stream/hls_stream.h"
#include "support/log_capture.h"

namespace kovali {
namespace {

using namespace std::chrono_literals;

constexpr const char* retryLine = "The stream server cannot accept connections for now";

/// Takes every free descriptor of the process while it exists, as a process that ran out would.
class DescriptorsTaken {
 public:
  DescriptorsTaken() {
    getrlimit(RLIMIT_NOFILE, &limit_);
    // A lower limit keeps the taking short where the limit is large.
    const int next = dup(0);
    if (next >= 0) close(next);
    rlimit lowered = limit_;
    lowered.rlim_cur = std::min<rlim_t>(limit_.rlim_cur, static_cast<rlim_t>(next) + 64);
    setrlimit(RLIMIT_NOFILE, &lowered);
    for (int taken = dup(0); taken >= 0; taken = dup(0)) taken_.push_back(taken);
    exhausted_ = errno == EMFILE;
  }
  ~DescriptorsTaken() {
    for (int taken : taken_) close(taken);
    setrlimit(RLIMIT_NOFILE, &limit_);
  }
  DescriptorsTaken(const DescriptorsTaken&) = delete;
  DescriptorsTaken& operator=(const DescriptorsTaken&) = delete;

  bool exhausted() const { return exhausted_; }

 private:
  rlimit limit_{};
  std::vector<int> taken_;
  bool exhausted_ = false;
};

/// What arrives on `socket` within `patience` milliseconds, until the peer closes.
QByteArray readAll(int socket, int patience) {
  QByteArray received;
  char buffer[4096];
  for (int waited = 0; waited < patience; waited += 50) {
    pollfd ready{socket, POLLIN, 0};
    QTest::qWait(0);  // the listener runs on this thread
    if (poll(&ready, 1, 50) <= 0) continue;
    const auto read = recv(socket, buffer, sizeof buffer, 0);
    if (read <= 0) break;
    received.append(buffer, static_cast<int>(read));
  }
  return received;
}

TEST(StreamListener, RunningOutOfDescriptorsPausesAcceptingAndTheListenerServesOnceTheyAreBack) {
  auto made = HLSStream::make({48000, 2});
  ASSERT_TRUE(made) << made.error().message;
  StreamListener listener(std::move(made).value(), 5s);
  QSignalSpy ready(&listener, &StreamListener::ready);
  listener.listen();
  ASSERT_EQ(ready.size(), 1);
  const auto port = ready.front().front().value<quint16>();

  LogCapture log("kovaliapp.multiroom");
  const int client = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(client, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  {
    DescriptorsTaken taken;
    ASSERT_TRUE(taken.exhausted());
    // The system completes the connection; the listener cannot take it.
    ASSERT_EQ(connect(client, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return log.hasLineStartingWith(retryLine); }, 5000));
  }
  const QByteArray request = "GET /missing HTTP/1.1\r\n\r\n";
  ASSERT_EQ(send(client, request.data(), static_cast<size_t>(request.size()), MSG_NOSIGNAL), request.size());
  EXPECT_TRUE(readAll(client, 5000).startsWith("HTTP/1.1 404 Not Found")) << "answered on the same port";
  close(client);

  const int next = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(next, 0);
  ASSERT_EQ(connect(next, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(send(next, request.data(), static_cast<size_t>(request.size()), MSG_NOSIGNAL), request.size());
  EXPECT_TRUE(readAll(next, 5000).startsWith("HTTP/1.1 404 Not Found")) << "later connections too";
  close(next);

  const auto retries = std::count_if(log.lines().begin(), log.lines().end(),
                                     [](const std::string& line) { return line.rfind(retryLine, 0) == 0; });
  EXPECT_EQ(retries, 1) << "logged once";
}

}  // namespace
}  // namespace kovali
