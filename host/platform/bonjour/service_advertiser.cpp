#include "platform/bonjour/service_advertiser.h"

namespace kovali {

std::string AdvertiserError::message() const {
  switch (kind) {
    case Kind::accessDenied:
      return "The system is blocking local network access. Allow publishing in the avahi-daemon settings.";
    case Kind::serviceNotRunning:
      return "This computer's Bonjour service stopped answering. Check that avahi-daemon is running.";
    case Kind::other:
      break;
  }
  return description;
}

std::string cutUTF8(std::string text, std::size_t maxBytes) {
  if (text.size() <= maxBytes) return text;
  std::size_t end = maxBytes;
  // Step back over continuation bytes (10xxxxxx) to the start of the character being cut.
  while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) --end;
  text.resize(end);
  return text;
}

ServiceRecord fittedForDNSSD(ServiceRecord record) {
  record.name = cutUTF8(std::move(record.name), maxServiceNameBytes);
  for (auto& [key, value] : record.txt) {
    key = cutUTF8(std::move(key), maxTXTEntryBytes - 1);
    value = cutUTF8(std::move(value), maxTXTEntryBytes - 1 - key.size());
  }
  return record;
}

PublishChange publishChange(const ServiceRecord* current, const ServiceRecord& next) {
  if (!current || current->name != next.name || current->type != next.type || current->port != next.port) {
    return PublishChange::registration;
  }
  return current->txt == next.txt ? PublishChange::none : PublishChange::txt;
}

}  // namespace kovali
