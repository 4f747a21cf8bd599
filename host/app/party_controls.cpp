#include "app/party_controls.h"

#include "session/session_store.h"

namespace kovali {

void togglePlayback(SessionStore& store) { store.togglePlayback(); }

void skip(SessionStore& store) { (void)store.dispatch(vinaro::action::Skip{}, vinaro::Actor::host(), true); }

}  // namespace kovali
