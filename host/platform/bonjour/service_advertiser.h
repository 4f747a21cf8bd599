#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include <QObject>

namespace kovali {

/// A TXT record's entries in the order they are written; keys are unique.
using TXTRecord = std::vector<std::pair<std::string, std::string>>;

/// A DNS-SD service to publish in the default domain.
struct ServiceRecord {
  std::string name;  // instance name, UTF-8; empty means the machine's host name
  std::string type;  // "_kovali._tcp"
  std::uint16_t port = 0;
  TXTRecord txt;

  bool operator==(const ServiceRecord&) const = default;
};

/// Why publishing failed, sorted into the cases that get their own advice.
struct AdvertiserError {
  enum class Kind {
    accessDenied,       // the system refuses to let us publish
    serviceNotRunning,  // the DNS-SD daemon is missing or stopped answering
    other,
  };

  Kind kind = Kind::other;
  std::string description;  // a complete sentence

  /// The sentence shown to the user.
  std::string message() const;

  bool operator==(const AdvertiserError&) const = default;
};

/// The longest instance name DNS-SD takes (one DNS label), and the longest TXT entry.
inline constexpr std::size_t maxServiceNameBytes = 63;
inline constexpr std::size_t maxTXTEntryBytes = 255;

/// Cuts `text` to at most `maxBytes` bytes without splitting a UTF-8 character.
std::string cutUTF8(std::string text, std::size_t maxBytes);

/// The record as it can be published: the name cut to 63 bytes and every TXT entry (key=value)
/// to 255 bytes by cutting its value, each at a character boundary.
ServiceRecord fittedForDNSSD(ServiceRecord record);

/// How a published service must change to match a new record.
enum class PublishChange {
  none,          // same record
  txt,           // only the TXT record differs: updated in place
  registration,  // name, type or port differ (or nothing is published): registered anew
};
PublishChange publishChange(const ServiceRecord* current, const ServiceRecord& next);

/// Publishes one DNS-SD service on the local network. Outcomes arrive later on the owner's
/// thread as signals, never inside a call to `publish` or `withdraw`, and only for the latest
/// publication.
class ServiceAdvertiser : public QObject {
  Q_OBJECT

 public:
  using QObject::QObject;

  /// Publishes `record` (fitted for DNS-SD first), or brings the published service in line with
  /// it: a changed TXT record is updated in place, a changed name, type or port re-registers.
  virtual void publish(const ServiceRecord& record) = 0;
  /// Removes the service from the network; nothing is reported after this until the next publish.
  virtual void withdraw() = 0;

 signals:
  /// The service is on the network under `name`, which differs from the record's name when that
  /// was taken and an alternative ("Name #2") was chosen.
  void registered(const std::string& name);
  /// Publishing failed or stopped working; the service is off the network until the next publish.
  void failed(const kovali::AdvertiserError& error);
};

}  // namespace kovali
