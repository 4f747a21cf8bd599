#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "support/timed_monitor_stream.h"

namespace kovali {

/// One AirPlay receiver of the test rig (tests/support/airplay_rig.sh).
struct RigSpeaker {
  int number = 0;
  std::string name;     // its AirPlay name, which the sound server shows as the sink's description
  std::string capture;  // the file it plays into
};

/// The rig's speakers, in order; none outside the rig.
std::vector<RigSpeaker> rigSpeakers();

/// The rig's sound server, "pulse" or "pipewire"; empty outside the rig.
std::string rigServer();

/// How closely the rig's receivers can keep time: under PulseAudio they play each frame when
/// its timestamp says; under PipeWire they play unsynchronised (tests/support/airplay_rig.sh),
/// so that even paplay's stream breaks off there for 0.1-0.2 s at times, and the player's two
/// speakers were measured up to 60 ms apart.
struct RigTimekeeping {
  double apart;    // extra seconds two speakers may play apart, beyond what the player allows
  double dropout;  // the longest a speaker that plays on may fall silent, in seconds
};
RigTimekeeping rigTimekeeping();

/// Stops a receiver of the rig (it disappears from the network) or starts it again. The error is
/// a sentence; nothing on success.
std::optional<std::string> setRigSpeakerRunning(int number, bool running);

/// Which of the rig's daemons (its sound server's, its running receivers and the sound server
/// they play into) has died, as a sentence; nothing when all run. Tells a third-party daemon's
/// death from a fault of ours.
std::optional<std::string> rigDaemonGone();
/// Where the rig's daemons stand, for the end of a failure message: a run in which one died is
/// the rig's (the script tries it again on a fresh rig), not ours.
std::string rigDaemons();

/// What a receiver of the rig played from a point on: its sound, as mono at `rate`, and when it
/// played each part, on the steady clock (`std::chrono::steady_clock`, the same in every process).
class SpeakerCapture {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr int rate = 44100;

  /// Follows the capture file `path` from its present end: what was played before is not part of it.
  explicit SpeakerCapture(std::string path);

  /// Reads what was played since the last read; false when the capture cannot be read.
  bool read();
  /// Everything read so far.
  const std::vector<float>& sound() const { return sound_; }
  /// When frame `frame` of `sound()` was played (see `playedTimeOf`).
  Clock::time_point timeOf(std::size_t frame) const;
  /// When a tone of `hertz` began to play (see `onsetOf`); nothing when it never did.
  std::optional<Clock::time_point> onset(double hertz) const;
  /// The tone most of the sound carries, in Hz; 0 for silence.
  double mainTone() const;
  /// The root mean square of the sound carrying `hertz` (see `levelOfTone`); 0 when none does.
  double level(double hertz) const;

 private:
  std::string path_;
  long long start_ = 0;  // where in the file this capture begins, in bytes
  std::vector<float> sound_;
  std::streamoff timesRead_ = 0;  // how much of the times file was read
  std::vector<PlayedPiece> played_;  // frames counted from the file's start
};

}  // namespace kovali
