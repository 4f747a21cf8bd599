#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "model/hashing.h"

namespace vinaro {

/// The link behind the party screen's QR code: kovali://join?host=<host>&session=<session id>.
struct JoinLink {
  static constexpr std::string_view scheme = "kovali";
  static constexpr std::string_view linkHost = "join";

  std::string host;
  std::string sessionID;

  /// The join URL. Every byte of the values outside the unreserved URL characters is
  /// percent-encoded, "+" included, so any text survives a round trip.
  std::string url() const;

  /// The link a URL names, or nothing when the text is no URL, the scheme or host differ (in any
  /// letter case), or the first "host" or "session" item is missing, has no value or an empty one.
  /// "+" in a value stays a plus sign.
  static std::optional<JoinLink> parse(std::string_view url);

  bool operator==(const JoinLink&) const = default;
};

}  // namespace vinaro

template <>
struct std::hash<vinaro::JoinLink> {
  std::size_t operator()(const vinaro::JoinLink& link) const { return vinaro::hashFields(link.host, link.sessionID); }
};
