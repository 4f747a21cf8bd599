#pragma once

namespace kovali {

class SessionStore;

/// What the main window's appearance sets going: finding out whether the music can be used,
/// unless that is known, and hosting, unless the server is already starting, ready or failed
/// (a failed one retries by itself). Neither is awaited.
void startHostingOnAppearance(SessionStore& store);

}  // namespace kovali
