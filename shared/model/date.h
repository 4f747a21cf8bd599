#pragma once

#include <compare>

namespace vinaro {

/// A moment in time, kept as milliseconds since 1970-01-01 00:00 UTC — the unit the wire uses,
/// so a date read from JSON writes back to the very same number.
struct Date {
  double millisecondsSince1970 = 0;

  static Date fromSecondsSince1970(double seconds) { return Date{seconds * 1000.0}; }

  /// Seconds from `earlier` to this date (negative when this date is before it).
  double secondsSince(Date earlier) const {
    return (millisecondsSince1970 - earlier.millisecondsSince1970) / 1000.0;
  }
  Date addingSeconds(double seconds) const { return Date{millisecondsSince1970 + seconds * 1000.0}; }

  auto operator<=>(const Date&) const = default;
};

}  // namespace vinaro
