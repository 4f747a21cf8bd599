#include "support/sound_recording.h"

#include <pulse/error.h>
#include <pulse/simple.h>

#include <cmath>
#include <cstdlib>

namespace kovali {

MonitorRecorder::MonitorRecorder(const char* source) {
  const pa_sample_spec sampleSpec{PA_SAMPLE_FLOAT32LE, recordingRate, 2};
  // Fragments of 50 ms: the server's default would hold the sound back for seconds.
  pa_buffer_attr attributes{};
  attributes.maxlength = static_cast<std::uint32_t>(-1);
  attributes.fragsize = recordingRate / 20 * 2 * sizeof(float);
  int error = 0;
  connection_ = pa_simple_new(nullptr, "kovali-test", PA_STREAM_RECORD, source, "monitor", &sampleSpec, nullptr,
                              &attributes, &error);
  if (!connection_) {
    error_ = pa_strerror(error);
    return;
  }
  thread_ = std::thread([this] {
    std::vector<float> chunk(recordingRate / 20 * 2);
    while (!stopping_) {
      if (pa_simple_read(connection_, chunk.data(), chunk.size() * sizeof(float), nullptr) < 0) break;
      for (std::size_t i = 0; i < chunk.size(); i += 2) samples_.push_back((chunk[i] + chunk[i + 1]) / 2);
    }
  });
}

MonitorRecorder::~MonitorRecorder() {
  stop();
  if (connection_) pa_simple_free(connection_);
}

const std::vector<float>& MonitorRecorder::stop() {
  stopping_ = true;
  if (thread_.joinable()) thread_.join();
  return samples_;
}

double toneOf(const float* samples, std::size_t count) {
  double energy = 0;
  int crossings = 0;
  for (std::size_t i = 0; i < count; ++i) {
    energy += samples[i] * samples[i];
    if (i > 0 && (samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
  }
  if (std::sqrt(energy / static_cast<double>(count)) < 0.01) return 0;
  return crossings / 2.0 / (static_cast<double>(count) / recordingRate);
}

double secondsOfTone(const std::vector<float>& sound, double hertz) {
  const std::size_t window = recordingRate / 20;
  double seconds = 0;
  for (std::size_t start = 0; start + window <= sound.size(); start += window) {
    if (std::abs(toneOf(sound.data() + start, window) - hertz) < 30) seconds += 0.05;
  }
  return seconds;
}

Song pulseTestTrack(const char* name, const char* id) {
  Song song;
  song.id = id;
  song.title = name;
  song.fileURL = std::string("file://") + std::getenv("KOVALI_PULSE_TRACKS") + "/" + name;
  return song;
}

}  // namespace kovali
