#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <QHostAddress>

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
  /// The same from an IPv6 `source` to [::1], or from an IPv4 one to 127.0.0.1 (or to `host`).
  /// An IPv6 source need not be on an interface: any address a local route covers will do.
  [[nodiscard]] bool connectTo(std::uint16_t port, const QHostAddress& source, const QHostAddress& host = {});
  /// Sends `text` (shorter than 64 KiB) as one masked text frame, as a phone does.
  [[nodiscard]] bool sendText(const std::string& text);
  /// Sends what the network takes of `bytes` now, without waiting; answers how many went. With
  /// `smallSendBuffer`, little more than what the host has read in can go.
  long sendSome(std::string_view bytes);
  void smallSendBuffer();
  /// The header of a masked frame (zero mask) whose payload is `length` bytes: a whole text frame
  /// unless `first` gives another first byte (the final bit and the opcode).
  static std::string frameHeader(std::uint64_t length, std::uint8_t first = 0x81);
  /// Reads whatever has arrived, up to `most` bytes, without waiting; answers how many bytes, or
  /// -1 once the host has closed or dropped the connection.
  long drain(std::size_t most = SIZE_MAX);
  /// The complete text messages among the bytes read so far, in order.
  std::vector<std::string> messages() const;
  /// Every byte read so far, as the host wrote it.
  const std::string& bytesRead() const { return read_; }
  /// Drops the connection with a reset, as a phone whose network went away may.
  void reset();

 private:
  int fd_ = -1;
  std::string read_;
};

/// Sends `bytes` from each of `phones` as fast as the host takes them, each going on from
/// `sent[i]`, until none has moved on for a while; `sent` ends with how far each has come.
void sendFromEach(const std::vector<std::unique_ptr<StalledPhone>>& phones, std::string_view bytes,
                  std::vector<std::size_t>& sent);

}  // namespace kovali
