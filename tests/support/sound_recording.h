#pragma once

#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/library/music_items.h"

struct pa_simple;

namespace kovali {

/// The rate at which tests record and measure sound.
inline constexpr int recordingRate = 48000;

/// Records a source of the sound server (a sink's monitor, say "music.monitor") on a thread of
/// its own, as mono (the mean of both channels) at `recordingRate`.
class MonitorRecorder {
 public:
  explicit MonitorRecorder(const char* source);
  ~MonitorRecorder();
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

  /// Empty when recording started, else why not.
  const std::string& error() const { return error_; }
  /// Stops recording and hands over what was recorded.
  const std::vector<float>& stop();

 private:
  pa_simple* connection_ = nullptr;
  std::string error_;
  std::thread thread_;
  std::atomic<bool> stopping_ = false;
  std::vector<float> samples_;
};

/// The loudest tone of a stretch of sound at `rate`, in Hz, from its zero crossings; 0 for silence.
double toneOf(const float* samples, std::size_t count, int rate = recordingRate);

/// Seconds of `sound` whose 50 ms windows carry a tone within 30 Hz of `hertz`.
double secondsOfTone(const std::vector<float>& sound, double hertz, int rate = recordingRate);

/// Where a tone within a fifth of `hertz` first lasts a tenth of a second in `sound`, to a
/// millisecond, in seconds; -1 when never.
double onsetOf(const std::vector<float>& sound, double hertz, int rate = recordingRate);

/// The tone most of `sound`'s loud tenths of a second carry (the median), in Hz; 0 for silence.
double mainToneOf(const std::vector<float>& sound, int rate = recordingRate);

/// The root mean square of the 50 ms windows of `sound` that carry a tone within 30 Hz of
/// `hertz` (1 for a full-scale square wave); 0 when none does.
double levelOfTone(const std::vector<float>& sound, double hertz, int rate = recordingRate);

/// Runs the test script's control of its sound server (KOVALI_SOUND_SERVER_CONTROL): "stop" or
/// "start"; true when it did so.
bool controlSoundServer(const char* what);

/// Loads the module `name` with `arguments` into the test's sound server (pactl); its index, or
/// nothing when the server refused it.
std::optional<int> loadServerModule(const std::string& name, const std::string& arguments);
/// Unloads the test sound server's module `index`.
void unloadServerModule(int index);
/// The index of the test sound server's module `name` loaded with exactly `arguments`; nothing
/// when there is none.
std::optional<int> serverModuleIndex(const std::string& name, const std::string& arguments);

/// The test track `name` that pulse_music_player_test.sh made in $KOVALI_PULSE_TRACKS, as a song
/// with `id` whose title is its file name.
Song pulseTestTrack(const char* name, const char* id);

}  // namespace kovali
