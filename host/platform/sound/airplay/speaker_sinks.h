#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/sound/airplay/pulse_air_play_sinks.h"

namespace kovali {

/// Follows each chosen AirPlay speaker across the sinks the sound server makes for it. A speaker
/// that went and came back gets a new sink (a new index; on PulseAudio under the same name), and
/// for a moment the old one, about to go, may still be listed; a sink whose stream broke is
/// such a one until it leaves the list or stays long enough to be tried again. A sink just made
/// is left alone for a moment too.
class SpeakerSinks {
 public:
  using Clock = std::chrono::steady_clock;
  using Sink = PulseAirPlaySinks::Sink;

  /// How long a listed sink whose stream broke is left alone before it is tried again.
  static constexpr std::chrono::seconds retryAfter{3};
  /// How long a sink made while watched is left before a stream is opened on it: PulseAudio's
  /// AirPlay sink given a stream before its first exchange with the speaker has finished never
  /// connects to the speaker.
  static constexpr std::chrono::seconds settleAfter{1};

  /// The sink each chosen speaker plays on now, one per speaker, in `listed` order: the sink it
  /// plays on (`playing`: speaker name → sink index) while that one is listed and usable, else
  /// the last usable one listed with its name. Speakers without one are left out.
  std::vector<Sink> pick(const std::vector<Sink>& listed, const std::set<std::string>& chosen,
                         const std::map<std::string, std::uint32_t>& playing, Clock::time_point now) const;

  /// One sink per speaker listed, in `listed` order: the one `pick` gives were every speaker
  /// chosen, else (all its sinks broke a moment ago) the last one listed with its name.
  std::vector<Sink> perSpeaker(const std::vector<Sink>& listed, const std::map<std::string, std::uint32_t>& playing,
                               Clock::time_point now) const;

  /// Notes that the stream on the sink `index` broke at `now`.
  void broke(std::uint32_t index, Clock::time_point now);
  /// Notes the sinks listed at `now`: one not listed before was made then, except in the first
  /// list (those were there before it was watched). Forgets the sinks no longer listed, broken
  /// ones too (their indexes may be given again).
  void listed(const std::vector<Sink>& sinks, Clock::time_point now);
  /// How long until a stream may be opened on `sink`; zero when it may now.
  Clock::duration untilSettled(const Sink& sink, Clock::time_point now) const;

 private:
  bool usable(const Sink& sink, Clock::time_point now) const;

  std::map<std::uint32_t, Clock::time_point> broken_;
  std::map<std::pair<std::uint32_t, std::string>, Clock::time_point> made_;  // by index and name
  bool watched_ = false;  // a list was noted before
};

}  // namespace kovali
