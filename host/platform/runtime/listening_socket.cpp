#include "platform/runtime/listening_socket.h"

#include <fcntl.h>
#include <unistd.h>

#include <QTcpServer>

namespace kovali {

QTcpServer* takeOverListeningSocket(const QTcpServer& server, QObject* parent) {
  const int descriptor = fcntl(static_cast<int>(server.socketDescriptor()), F_DUPFD_CLOEXEC, 0);
  if (descriptor < 0) return nullptr;
  auto* fresh = new QTcpServer(parent);
  if (!fresh->setSocketDescriptor(descriptor)) {
    ::close(descriptor);
    delete fresh;
    return nullptr;
  }
  return fresh;
}

}  // namespace kovali
