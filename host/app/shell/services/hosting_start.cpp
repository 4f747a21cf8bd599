#include "app/shell/services/hosting_start.h"

#include "session/store/session_store.h"

namespace kovali {

void startHostingOnAppearance(SessionStore& store) {
  if (std::holds_alternative<MusicService::Unknown>(store.music().availability())) (void)store.music().refresh();
  if (std::holds_alternative<HostServerStatus::Stopped>(store.server().status().value)) store.start();
}

}  // namespace kovali
