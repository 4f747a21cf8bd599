#pragma once

namespace kovali {

class SessionStore;

/// Play or pause as the host; the store keeps a refusal in its `lastHostError`.
void togglePlayback(SessionStore& store);

/// Skips to the next song as the host, telling every phone.
void skip(SessionStore& store);

}  // namespace kovali
