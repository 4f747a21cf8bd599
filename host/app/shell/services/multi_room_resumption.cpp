#include "app/shell/services/multi_room_resumption.h"

#include "platform/runtime/scheduler.h"
#include "session/store/session_store.h"

namespace kovali {

bool resumesMultiRoomAtLaunch(const Preferences& preferences) {
  return preferences.boolValue(QString::fromLatin1(multiRoomPreferenceKey)).value_or(false);
}

QCoro::Task<> resumeMultiRoomOncePlaying(Scheduler& scheduler, QPointer<SessionStore> store, CancellationToken token) {
  while (store && store->state().playback.status != vinaro::PlaybackStatus::playing) {
    co_await scheduler.sleep(1, token);
    if (token.isCancelled()) co_return;
  }
  if (!store) co_return;
  // The sound settles before the speakers join.
  co_await scheduler.sleep(2, token);
  if (token.isCancelled() || !store) co_return;
  store->multiRoom().start();
  store->audioSettingsChanged();
}

}  // namespace kovali
