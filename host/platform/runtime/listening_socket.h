#pragma once

class QObject;
class QTcpServer;

namespace kovali {

/// A new server over the listening socket of `server`, made a child of `parent`: Qt's socket
/// engine reports its first accept error (out of descriptors, out of memory) for good, so accepting
/// goes on in a new server on the same port. Nothing while no descriptor is free for it yet.
QTcpServer* takeOverListeningSocket(const QTcpServer& server, QObject* parent);

}  // namespace kovali
