#include "platform/sound/pcm_buffer.h"

#include <charconv>
#include <limits>

namespace kovali {

std::string AudioFormat::description() const {
  char rate[64];
  const auto written = std::to_chars(rate, rate + sizeof rate, sampleRate);  // whatever the locale
  return std::string(rate, written.ptr) + " Hz, " + std::to_string(channels) +
         (channels == 1 ? " channel" : " channels") + ", 32-bit float";
}

double MediaTime::seconds() const {
  return isValid() ? static_cast<double>(value) / timescale : std::numeric_limits<double>::quiet_NaN();
}

std::optional<SampleBuffer> makeSampleBuffer(SharedPCMBuffer buffer, MediaTime presentationTime) {
  if (!buffer) return std::nullopt;
  const auto& format = buffer->format;
  if (!(format.sampleRate >= 1 && format.sampleRate <= std::numeric_limits<std::int32_t>::max())) return std::nullopt;
  const auto rate = static_cast<std::int32_t>(format.sampleRate);
  if (format.channels <= 0 || buffer->frameLength() == 0) return std::nullopt;
  if (buffer->samples.size() % static_cast<std::size_t>(format.channels) != 0) return std::nullopt;
  return SampleBuffer{std::move(buffer), presentationTime, MediaTime{1, rate}};
}

}  // namespace kovali
