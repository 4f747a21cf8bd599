#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <QObject>

#include "platform/bonjour/qt_avahi_poll.h"
#include "platform/bonjour/service_advertiser.h"

struct AvahiClient;
struct AvahiEntryGroup;

namespace kovali {

/// Publishes the service through the system's avahi-daemon (avahi-client over D-Bus), on the
/// Qt event loop of the thread that creates it. A name taken on the network is replaced by
/// avahi's alternative ("Party #2") and registered again.
class AvahiAdvertiser final : public ServiceAdvertiser {
 public:
  AvahiAdvertiser();
  ~AvahiAdvertiser() override;

  void publish(const ServiceRecord& record) override;
  void withdraw() override;

  /// The avahi error code sorted into the cases that get their own advice.
  static AdvertiserError errorFor(int avahiError);

 private:
  static void clientChanged(AvahiClient* client, int state, void* self);
  static void groupChanged(AvahiEntryGroup* group, int state, void* self);

  void connectClient();
  void registerService();
  void updateTXT();
  void fail(int avahiError);
  void report(std::function<void()> call);
  bool isRetired(AvahiClient* client) const;
  void freeRetiredClients();

  QtAvahiPoll poll_;
  AvahiClient* client_ = nullptr;
  AvahiEntryGroup* group_ = nullptr;
  std::vector<AvahiClient*> retiredClients_;  // failed clients, freed outside their callbacks
  std::optional<ServiceRecord> wanted_;
  std::string name_;  // the name being registered: the wanted one, the host name, or an alternative
  std::uint64_t generation_ = 0;  // raised for every new registration and withdrawal
  bool constructing_ = false;
  int constructionError_ = 0;
};

}  // namespace kovali
