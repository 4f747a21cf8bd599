#pragma once

#include <QMetaObject>

#include "platform/bonjour/service_advertiser.h"

namespace kovali {

/// Publishes nowhere and reports each publication registered on the next turn of the loop.
class LoopbackAdvertiser final : public ServiceAdvertiser {
 public:
  void publish(const ServiceRecord& record) override {
    QMetaObject::invokeMethod(this, [this, name = record.name] { emit registered(name); }, Qt::QueuedConnection);
  }
  void withdraw() override {}
};

}  // namespace kovali
