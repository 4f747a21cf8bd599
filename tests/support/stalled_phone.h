#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kovali {

/// A phone on loopback that finishes the WebSocket handshake and then reads nothing until told
/// to: a plain socket with a small receive buffer, so what the host sends soon stays with the host.
class StalledPhone {
 public:
  StalledPhone() = default;
  StalledPhone(const StalledPhone&) = delete;
  StalledPhone& operator=(const StalledPhone&) = delete;
  ~StalledPhone();

  /// Connects to ws://127.0.0.1:`port` from the loopback address `source` (127.0.0.1 unless
  /// given: the host takes a few connections an address) and waits, running the event loop, for
  /// the handshake.
  [[nodiscard]] bool connectTo(std::uint16_t port, std::uint32_t source = 0x7F000001);
  /// Sends `text` (shorter than 64 KiB) as one masked text frame, as a phone does.
  [[nodiscard]] bool sendText(const std::string& text);
  /// Reads whatever has arrived, without waiting; answers how many bytes, or -1 once the host
  /// has closed or dropped the connection.
  long drain();
  /// The complete text messages among the bytes read so far, in order.
  std::vector<std::string> messages() const;

 private:
  int fd_ = -1;
  std::string read_;
};

}  // namespace kovali
