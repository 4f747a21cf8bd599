#include "platform/bonjour/avahi_advertiser.h"

#include <avahi-client/client.h>
#include <avahi-client/publish.h>
#include <avahi-common/alternative.h>
#include <avahi-common/error.h>
#include <avahi-common/malloc.h>
#include <avahi-common/strlst.h>

#include <algorithm>

#include <QMetaObject>

#include "platform/runtime/logging.h"

namespace kovali {

namespace {

std::string alternativeName(const std::string& name) {
  char* alternative = avahi_alternative_service_name(name.c_str());
  if (!alternative) return name + " #2";
  std::string result = alternative;
  avahi_free(alternative);
  return result;
}

AvahiStringList* txtList(const TXTRecord& txt) {
  AvahiStringList* list = nullptr;
  for (const auto& [key, value] : txt) list = avahi_string_list_add_pair(list, key.c_str(), value.c_str());
  return avahi_string_list_reverse(list);  // adding prepends
}

}  // namespace

AvahiAdvertiser::AvahiAdvertiser() = default;

AvahiAdvertiser::~AvahiAdvertiser() {
  if (client_) avahi_client_free(client_);  // frees the group too
  freeRetiredClients();
}

AdvertiserError AvahiAdvertiser::errorFor(int avahiError) {
  std::string description = avahi_strerror(avahiError);
  if (!description.empty() && description.back() != '.') description += '.';
  switch (avahiError) {
    case AVAHI_ERR_ACCESS_DENIED:
    case AVAHI_ERR_NOT_PERMITTED:
      return {AdvertiserError::Kind::accessDenied, description};
    case AVAHI_ERR_NO_DAEMON:
    case AVAHI_ERR_DISCONNECTED:
      return {AdvertiserError::Kind::serviceNotRunning, description};
    default:
      return {AdvertiserError::Kind::other, description};
  }
}

void AvahiAdvertiser::publish(const ServiceRecord& record) {
  auto next = fittedForDNSSD(record);
  const auto change = publishChange(wanted_ ? &*wanted_ : nullptr, next);
  if (change == PublishChange::none) return;
  wanted_ = std::move(next);
  if (change == PublishChange::txt) {
    updateTXT();
    return;
  }
  ++generation_;
  name_ = wanted_->name;
  if (!client_) {
    connectClient();
  } else if (avahi_client_get_state(client_) == AVAHI_CLIENT_S_RUNNING) {
    registerService();
  }  // otherwise the client registers the service once the daemon is running
}

void AvahiAdvertiser::withdraw() {
  ++generation_;
  wanted_.reset();
  name_.clear();
  if (group_) avahi_entry_group_free(group_);  // takes the service off the network
  group_ = nullptr;
}

void AvahiAdvertiser::connectClient() {
  int error = 0;
  // The callback runs for the first time inside avahi_client_new and stores the client there;
  // a failure reported there is left to the code below, as avahi frees such a client itself.
  constructing_ = true;
  constructionError_ = 0;
  auto* client = avahi_client_new(
      poll_.api(), AvahiClientFlags(0),
      [](AvahiClient* c, AvahiClientState state, void* self) { clientChanged(c, state, self); }, this, &error);
  constructing_ = false;
  if (!client) {
    // The callback may have stored the client, and a group, before avahi freed them.
    client_ = nullptr;
    group_ = nullptr;
    fail(error);
    return;
  }
  if (!isRetired(client)) client_ = client;
  if (constructionError_ != 0) fail(constructionError_);
}

bool AvahiAdvertiser::isRetired(AvahiClient* client) const {
  return std::find(retiredClients_.begin(), retiredClients_.end(), client) != retiredClients_.end();
}

void AvahiAdvertiser::clientChanged(AvahiClient* client, int state, void* self) {
  auto* advertiser = static_cast<AvahiAdvertiser*>(self);
  if (advertiser->isRetired(client)) return;
  if (advertiser->constructing_ && state == AVAHI_CLIENT_FAILURE) {
    advertiser->constructionError_ = avahi_client_errno(client);
    return;
  }
  advertiser->client_ = client;
  switch (state) {
    case AVAHI_CLIENT_S_RUNNING:
      if (advertiser->wanted_ && (!advertiser->group_ || avahi_entry_group_is_empty(advertiser->group_))) {
        advertiser->registerService();
      }
      break;
    case AVAHI_CLIENT_S_REGISTERING:
    case AVAHI_CLIENT_S_COLLISION:
      // The daemon is changing its host name; our records come back once it runs again.
      if (advertiser->group_) avahi_entry_group_reset(advertiser->group_);
      break;
    case AVAHI_CLIENT_FAILURE:
      advertiser->fail(avahi_client_errno(client));
      break;
    default:
      break;
  }
}

void AvahiAdvertiser::registerService() {
  if (!wanted_ || !client_) return;
  if (!group_) {
    group_ = avahi_entry_group_new(
        client_, [](AvahiEntryGroup* g, AvahiEntryGroupState state, void* self) { groupChanged(g, state, self); },
        this);
    if (!group_) return fail(avahi_client_errno(client_));
  } else {
    avahi_entry_group_reset(group_);
  }
  if (name_.empty()) {
    const char* hostName = avahi_client_get_host_name(client_);
    name_ = cutUTF8(hostName ? hostName : "Kovali", maxServiceNameBytes);
  }

  AvahiStringList* txt = txtList(wanted_->txt);
  int error = 0;
  while ((error = avahi_entry_group_add_service_strlst(group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                       AvahiPublishFlags(0), name_.c_str(), wanted_->type.c_str(),
                                                       nullptr, nullptr, wanted_->port, txt)) == AVAHI_ERR_COLLISION) {
    const auto alternative = alternativeName(name_);
    qCInfo(lcNet).noquote() << "Bonjour name" << QString::fromStdString(name_) << "is taken here; trying"
                            << QString::fromStdString(alternative);
    name_ = alternative;
  }
  avahi_string_list_free(txt);
  if (error == 0) error = avahi_entry_group_commit(group_);
  if (error < 0) fail(error);
}

void AvahiAdvertiser::updateTXT() {
  if (!group_ || avahi_entry_group_is_empty(group_)) return;  // the coming registration carries it
  AvahiStringList* txt = txtList(wanted_->txt);
  const int error = avahi_entry_group_update_service_txt_strlst(group_, AVAHI_IF_UNSPEC, AVAHI_PROTO_UNSPEC,
                                                                AvahiPublishFlags(0), name_.c_str(),
                                                                wanted_->type.c_str(), nullptr, txt);
  avahi_string_list_free(txt);
  if (error < 0) fail(error);
}

void AvahiAdvertiser::groupChanged(AvahiEntryGroup* group, int state, void* self) {
  auto* advertiser = static_cast<AvahiAdvertiser*>(self);
  // Groups of a replaced client, and the first call from inside avahi_entry_group_new, are no news.
  if (group != advertiser->group_) return;
  switch (state) {
    case AVAHI_ENTRY_GROUP_ESTABLISHED: {
      qCInfo(lcNet).noquote() << "Bonjour service registered as" << QString::fromStdString(advertiser->name_);
      advertiser->report([advertiser, name = advertiser->name_] { emit advertiser->registered(name); });
      break;
    }
    case AVAHI_ENTRY_GROUP_COLLISION: {
      const auto alternative = alternativeName(advertiser->name_);
      qCInfo(lcNet).noquote() << "Bonjour name" << QString::fromStdString(advertiser->name_)
                              << "is taken on the network; trying" << QString::fromStdString(alternative);
      advertiser->name_ = alternative;
      advertiser->registerService();
      break;
    }
    case AVAHI_ENTRY_GROUP_FAILURE:
      advertiser->fail(avahi_client_errno(avahi_entry_group_get_client(group)));
      break;
    default:
      break;
  }
}

void AvahiAdvertiser::fail(int avahiError) {
  const auto error = errorFor(avahiError);
  qCWarning(lcNet).noquote() << "Bonjour publishing failed:" << QString::fromStdString(error.description);
  // Avahi objects must not be freed inside their own callbacks, where this may run.
  if (client_) retiredClients_.push_back(std::exchange(client_, nullptr));
  group_ = nullptr;
  QMetaObject::invokeMethod(this, [this] { freeRetiredClients(); }, Qt::QueuedConnection);
  if (!wanted_) return;  // nothing was asked of us
  wanted_.reset();
  report([this, error] { emit failed(error); });
}

void AvahiAdvertiser::report(std::function<void()> call) {
  // Queued on this object, so reports still waiting die with the advertiser.
  QMetaObject::invokeMethod(
      this,
      [this, generation = generation_, call = std::move(call)] {
        if (generation == generation_) call();
      },
      Qt::QueuedConnection);
}

void AvahiAdvertiser::freeRetiredClients() {
  for (auto* client : std::exchange(retiredClients_, {})) avahi_client_free(client);
}

}  // namespace kovali
