#pragma once

#include <atomic>
#include <cstddef>
#include <string>
#include <thread>
#include <vector>

struct pa_simple;

namespace kovali {

/// Records a sink's monitor of the test's own sound server on a thread of its own, at 48 kHz as
/// mono (the mean of both channels).
class MonitorRecorder {
 public:
  static constexpr int rate = 48000;

  explicit MonitorRecorder(const char* source);
  ~MonitorRecorder();
  MonitorRecorder(const MonitorRecorder&) = delete;
  MonitorRecorder& operator=(const MonitorRecorder&) = delete;

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

/// The loudest tone of a stretch of 48 kHz sound, in Hz, from its zero crossings; 0 for silence.
double toneOf(const float* samples, std::size_t count);

}  // namespace kovali
