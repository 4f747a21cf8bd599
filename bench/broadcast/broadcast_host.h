#pragma once

#include <QString>

namespace kovali {

/// The host in a process of its own, composed as kovali-host composes it (its services, the
/// window created offscreen, the tray item) on 127.0.0.1, with the DJ PIN `pin`, its data and
/// settings under `folder` (on the disk) and its music library in `folder`/music. The party it
/// comes back to has `songs` queued. Prints "port N" once phones can join, then hosts until it is
/// terminated or has run for an hour. Call before any QApplication exists; answers the exit code.
int runHost(int argc, char** argv, const QString& folder, int songs, const QString& pin);

}  // namespace kovali
