// speaker_capture SOURCE OUT: records a source of the sound server named by PULSE_SERVER (the
// monitor of the sink an AirPlay receiver of the test rig plays into) to OUT as S16LE stereo at
// 44.1 kHz, and notes in OUT.times when the sink played each piece, as lines
// "<bytes of OUT before the piece> <steady clock in ns>", timed as the tests time this computer's
// own sink (support/timed_monitor_stream.h). The sink stays when its receiver stops, so the
// capture goes on across a receiver's restart. Runs until it is killed.

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "support/timed_monitor_stream.h"

namespace {

constexpr int rate = 44100;

bool writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const auto written = ::write(fd, data, size);
    if (written < 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

std::int16_t toSample(float value) {
  return static_cast<std::int16_t>(std::lround(std::clamp(value, -1.0f, 32767.0f / 32768) * 32768));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: speaker_capture SOURCE OUT\n");
    return 2;
  }
  const int out = ::open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const int times = ::open((std::string(argv[2]) + ".times").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (out < 0 || times < 0) {
    std::perror("speaker_capture");
    return 1;
  }
  long long total = 0;
  std::vector<std::int16_t> samples;
  const kovali::TimedMonitorStream stream(argv[1], rate, [&](const float* piece, std::size_t frames, auto playedAt) {
    samples.resize(frames * 2);
    std::transform(piece, piece + frames * 2, samples.begin(), toSample);
    // The time first: a reader that sees the sound finds when it was played.
    if (playedAt) {
      const auto line = std::to_string(total) + ' ' +
                        std::to_string(std::chrono::duration_cast<std::chrono::nanoseconds>(playedAt->time_since_epoch()).count()) + '\n';
      if (!writeAll(times, line.data(), line.size())) std::_Exit(1);
    }
    const auto bytes = samples.size() * sizeof(std::int16_t);
    if (!writeAll(out, reinterpret_cast<const char*>(samples.data()), bytes)) std::_Exit(1);
    total += static_cast<long long>(bytes);
  });
  if (!stream.error().empty()) {
    std::fprintf(stderr, "speaker_capture: cannot record %s: %s\n", argv[1], stream.error().c_str());
    return 1;
  }
  for (;;) ::pause();
}
