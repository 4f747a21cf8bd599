#pragma once

#include <cstdint>
#include <iosfwd>
#include <string>
#include <variant>

namespace kovali {

/// What the guest server is doing, as the views show it.
struct HostServerStatus {
  /// Listening and advertised, on the port the system picked.
  struct Ready {
    std::uint16_t port = 0;
    bool operator==(const Ready&) const = default;
  };
  /// The last failure, a sentence ending in " Retrying automatically."
  struct Failed {
    std::string message;
    bool operator==(const Failed&) const = default;
  };
  struct Stopped {
    bool operator==(const Stopped&) const = default;
  };
  /// A listener was made and is not ready yet.
  struct Starting {
    bool operator==(const Starting&) const = default;
  };

  std::variant<Ready, Failed, Stopped, Starting> value = Stopped{};

  static HostServerStatus ready(std::uint16_t port) { return {Ready{port}}; }
  static HostServerStatus failed(std::string message) { return {Failed{std::move(message)}}; }
  static HostServerStatus stopped() { return {Stopped{}}; }
  static HostServerStatus starting() { return {Starting{}}; }

  bool operator==(const HostServerStatus&) const = default;
};

/// "ready(port: 4242)", "failed(…)", "stopped", "starting": for logs and test messages.
std::ostream& operator<<(std::ostream& out, const HostServerStatus& status);

}  // namespace kovali
