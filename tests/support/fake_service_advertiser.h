#pragma once

#include <optional>
#include <string>
#include <vector>

#include "platform/bonjour/service_advertiser.h"

namespace kovali {

/// An advertiser that publishes nowhere: it keeps what it was asked, and the test decides when
/// and how each publication turns out.
class FakeServiceAdvertiser final : public ServiceAdvertiser {
 public:
  /// The name a record without a name registers under.
  static constexpr const char* hostName = "kovali-test-host";

  void publish(const ServiceRecord& record) override;
  void withdraw() override;

  /// The service as it stands on the fake network (fitted for DNS-SD), or nothing.
  const std::optional<ServiceRecord>& published() const { return published_; }

  /// Reports the current publication registered, under `name` when given (as after a name
  /// conflict), else under its own name.
  void confirmRegistration(const std::optional<std::string>& name = std::nullopt);
  /// Reports the current publication failed and takes it off the fake network.
  void failPublishing(const AdvertiserError& error);

  std::vector<ServiceRecord> publications;  // every publish call, fitted, in order
  int registrations = 0;                    // publications that registered anew
  int txtUpdates = 0;                       // publications that changed the TXT record in place
  int withdrawals = 0;

 private:
  std::optional<ServiceRecord> published_;
};

}  // namespace kovali
