#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/sound/airplay/pulse_air_play_sinks.h"

namespace kovali {

/// Follows each chosen AirPlay speaker across the sinks the sound server makes for it. A speaker
/// that went and came back gets a new sink (a new index; on PulseAudio under the same name), and
/// for a moment the old one, about to go, may still be listed; a sink whose stream broke is
/// such a one until it leaves the list or stays long enough to be tried again.
class SpeakerSinks {
 public:
  using Clock = std::chrono::steady_clock;
  using Sink = PulseAirPlaySinks::Sink;

  /// How long a listed sink whose stream broke is left alone before it is tried again.
  static constexpr std::chrono::seconds retryAfter{3};

  /// The sink each chosen speaker plays on now, one per speaker, in `listed` order: the sink it
  /// plays on (`playing`: speaker name → sink index) while that one is listed and usable, else
  /// the last usable one listed with its name. Speakers without one are left out.
  std::vector<Sink> pick(const std::vector<Sink>& listed, const std::set<std::string>& chosen,
                         const std::map<std::string, std::uint32_t>& playing, Clock::time_point now) const;

  /// Notes that the stream on the sink `index` broke at `now`.
  void broke(std::uint32_t index, Clock::time_point now);
  /// Forgets the broken sinks that are no longer listed (their indexes may be given again).
  void forgetGone(const std::vector<Sink>& listed);

 private:
  bool usable(const Sink& sink, Clock::time_point now) const;

  std::map<std::uint32_t, Clock::time_point> broken_;
};

}  // namespace kovali
