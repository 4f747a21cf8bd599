#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <qcoro/qcorotask.h>

namespace kovali {

/// Where the SSDP search is sent: the SSDP multicast group, or a loopback responder in tests.
struct SSDPTarget {
  std::string address = "239.255.255.250";
  std::uint16_t port = 1900;
};

/// The M-SEARCH datagram for HEOS devices (126 bytes).
const std::string& ssdpSearchMessage();

/// Searches for `timeout` seconds, blocking the calling thread: the search is sent at the first
/// passes after 0, 1 and 2 s, answers are read 250 ms at a time until the deadline, and the IPv4
/// addresses of the senders whose answer names the HEOS device type come back once each, in the
/// order they first answered. Never fails; nothing found is an empty list.
std::vector<std::string> scanSSDP(double timeout, const SSDPTarget& target = {});

/// `scanSSDP` on a background thread; the caller (main thread) suspends until it ends.
QCoro::Task<std::vector<std::string>> searchSSDP(double timeout, SSDPTarget target = {});

}  // namespace kovali
