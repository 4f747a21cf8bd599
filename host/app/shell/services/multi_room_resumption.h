#pragma once

#include <qcoro/qcorotask.h>

#include <QPointer>

#include "platform/runtime/cancellation_token.h"
#include "platform/runtime/preferences.h"

namespace kovali {

class Scheduler;
class SessionStore;

/// The preference that has multi-room AirPlay come back at launch.
inline constexpr const char* multiRoomPreferenceKey = "multiRoom";

/// Whether the launch brings multi-room back: the preference "multiRoom" is true (absent reads
/// as false).
bool resumesMultiRoomAtLaunch(const Preferences& preferences);

/// Waits, checking once a second and for as long as it takes, until the party plays; then waits
/// 2 s more and starts multi-room, whether or not the party still plays by then. Ends quietly
/// when `token` is cancelled or the store is gone.
QCoro::Task<> resumeMultiRoomOncePlaying(Scheduler& scheduler, QPointer<SessionStore> store, CancellationToken token);

}  // namespace kovali
