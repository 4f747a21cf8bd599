#include "server/host_server_status.h"

#include <ostream>

#include "model/overloaded.h"

namespace kovali {

std::ostream& operator<<(std::ostream& out, const HostServerStatus& status) {
  std::visit(vinaro::Overloaded{
                 [&](const HostServerStatus::Ready& ready) { out << "ready(port: " << ready.port << ")"; },
                 [&](const HostServerStatus::Failed& failed) { out << "failed(" << failed.message << ")"; },
                 [&](const HostServerStatus::Stopped&) { out << "stopped"; },
                 [&](const HostServerStatus::Starting&) { out << "starting"; },
             },
             status.value);
  return out;
}

}  // namespace kovali
