#include "support/fake_service_advertiser.h"

#include <gtest/gtest.h>

namespace kovali {

void FakeServiceAdvertiser::publish(const ServiceRecord& record) {
  auto fitted = fittedForDNSSD(record);
  publications.push_back(fitted);
  switch (publishChange(published_ ? &*published_ : nullptr, fitted)) {
    case PublishChange::none:
      return;
    case PublishChange::txt:
      ++txtUpdates;
      break;
    case PublishChange::registration:
      ++registrations;
      break;
  }
  published_ = std::move(fitted);
}

void FakeServiceAdvertiser::withdraw() {
  ++withdrawals;
  published_.reset();
}

void FakeServiceAdvertiser::confirmRegistration(const std::optional<std::string>& name) {
  if (!published_) {
    ADD_FAILURE() << "confirmRegistration() with nothing published";
    return;
  }
  const auto taken = name.value_or(published_->name.empty() ? hostName : published_->name);
  emit registered(taken);
}

void FakeServiceAdvertiser::failPublishing(const AdvertiserError& error) {
  if (!published_) {
    ADD_FAILURE() << "failPublishing() with nothing published";
    return;
  }
  published_.reset();
  emit failed(error);
}

}  // namespace kovali
