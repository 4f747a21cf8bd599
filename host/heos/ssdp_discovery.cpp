#include "heos/ssdp_discovery.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>

#include <QString>
#include <QtConcurrent/QtConcurrentRun>
#include <qcoro/qcorofuture.h>

namespace kovali {
namespace {

using Clock = std::chrono::steady_clock;

/// Closes the socket when the scan ends, however it ends.
class SocketHandle {
 public:
  explicit SocketHandle(int fd) : fd_(fd) {}
  SocketHandle(const SocketHandle&) = delete;
  SocketHandle& operator=(const SocketHandle&) = delete;
  ~SocketHandle() {
    if (fd_ >= 0) ::close(fd_);
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

/// Whether an answer names the HEOS device type; invalid UTF-8 is replaced before looking.
bool namesHEOSDevice(const char* bytes, std::size_t size) {
  const QString text = QString::fromUtf8(bytes, static_cast<qsizetype>(size));
  return text.contains(QStringLiteral("ACT-Denon"), Qt::CaseInsensitive);
}

void addSender(std::vector<std::string>& found, const sockaddr_in& sender) {
  char text[INET_ADDRSTRLEN] = {};
  if (!::inet_ntop(AF_INET, &sender.sin_addr, text, sizeof text)) return;
  if (std::find(found.begin(), found.end(), text) == found.end()) found.emplace_back(text);
}

}  // namespace

const std::string& ssdpSearchMessage() {
  // Wire text: what HEOS devices answer to.
  static const std::string message =
      "M-SEARCH * HTTP/1.1\r\n"
      "HOST: 239.255.255.250:1900\r\n"
      "MAN: \"ssdp:discover\"\r\n"
      "MX: 2\r\n"
      "ST: urn:schemas-denon-com:device:ACT-Denon:1\r\n"
      "\r\n";
  return message;
}

std::vector<std::string> scanSSDP(double timeout, const SSDPTarget& target) {
  const SocketHandle socket(::socket(AF_INET, SOCK_DGRAM, IPPROTO_UDP));
  if (socket.fd() < 0) return {};
  const unsigned char ttl = 2;
  ::setsockopt(socket.fd(), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl);
  const timeval receiveTimeout{0, 250'000};
  ::setsockopt(socket.fd(), SOL_SOCKET, SO_RCVTIMEO, &receiveTimeout, sizeof receiveTimeout);

  sockaddr_in destination{};
  destination.sin_family = AF_INET;
  destination.sin_port = htons(target.port);
  if (::inet_pton(AF_INET, target.address.c_str(), &destination.sin_addr) != 1) return {};

  const auto start = Clock::now();
  const auto deadline = start + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(timeout));
  if (Clock::now() >= deadline) return {};

  const std::string& message = ssdpSearchMessage();
  std::vector<std::string> found;
  char buffer[2048];
  int sent = 0;
  do {
    if (sent < 3 && Clock::now() >= start + std::chrono::seconds(sent)) {
      ::sendto(socket.fd(), message.data(), message.size(), 0, reinterpret_cast<const sockaddr*>(&destination),
               sizeof destination);  // a failed send only means fewer answers
      ++sent;
    }
    sockaddr_in sender{};
    socklen_t senderSize = sizeof sender;
    const auto received =
        ::recvfrom(socket.fd(), buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&sender), &senderSize);
    if (received > 0 && namesHEOSDevice(buffer, static_cast<std::size_t>(received))) addSender(found, sender);
  } while (Clock::now() < deadline);
  return found;
}

namespace {
// Outside the coroutine: GCC 12 mis-destroys a lambda's captures built inside a coroutine body.
QFuture<std::vector<std::string>> startScan(double timeout, const SSDPTarget& target) {
  return QtConcurrent::run([timeout, target] { return scanSSDP(timeout, target); });
}
}  // namespace

QCoro::Task<std::vector<std::string>> searchSSDP(double timeout, SSDPTarget target) {
  co_return co_await startScan(timeout, target);
}

}  // namespace kovali
