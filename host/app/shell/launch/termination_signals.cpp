#include "app/shell/launch/termination_signals.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>

namespace kovali {

namespace {

// A signal handler can reach nothing but process-wide state; these two ends of the pipe are it.
int signalPipe[2] = {-1, -1};

void writeSignal(int signalNumber) {
  const auto byte = static_cast<unsigned char>(signalNumber);
  const int saved = errno;
  [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
  errno = saved;
}

}  // namespace

TerminationSignals::TerminationSignals(QObject* parent) : QObject(parent) {
  if (signalPipe[0] != -1) return;  // another instance has them already
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, signalPipe) != 0) return;

  struct sigaction action = {};
  action.sa_handler = writeSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  if (::sigaction(SIGINT, &action, nullptr) != 0 || ::sigaction(SIGTERM, &action, nullptr) != 0) {
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
    return;
  }

  notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
  connect(notifier_, &QSocketNotifier::activated, this, &TerminationSignals::readPipe);
}

TerminationSignals::~TerminationSignals() {
  if (!notifier_) return;
  struct sigaction action = {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
  ::close(signalPipe[0]);
  ::close(signalPipe[1]);
  signalPipe[0] = signalPipe[1] = -1;
}

void TerminationSignals::readPipe() {
  unsigned char byte = 0;
  while (::read(signalPipe[0], &byte, 1) == 1) emit received(byte);
}

}  // namespace kovali
