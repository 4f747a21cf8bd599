#include "app/menus/party_controls.h"

#include "session/store/session_store.h"

namespace kovali {

void togglePlayback(SessionStore& store) { store.togglePlayback(); }

void skip(SessionStore& store) { store.performHostAction(vinaro::action::Skip{}); }

}  // namespace kovali
