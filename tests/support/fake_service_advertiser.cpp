#include "support/fake_service_advertiser.h"

#include <gtest/gtest.h>

namespace kovali {

void FakeServiceAdvertiser::publish(const ServiceRecord& record) {
  auto fitted = fittedForDnsSd(record);
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
  const auto registered = name.value_or(published_->name.empty() ? hostName : published_->name);
  if (onRegistered) onRegistered(registered);
}

void FakeServiceAdvertiser::failPublishing(const AdvertiserError& error) {
  if (!published_) {
    ADD_FAILURE() << "failPublishing() with nothing published";
    return;
  }
  published_.reset();
  if (onFailed) onFailed(error);
}

}  // namespace kovali
