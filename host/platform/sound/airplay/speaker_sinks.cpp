#include "platform/sound/airplay/speaker_sinks.h"

#include <algorithm>

namespace kovali {

std::vector<SpeakerSinks::Sink> SpeakerSinks::pick(const std::vector<Sink>& listed, const std::set<std::string>& chosen,
                                                   const std::map<std::string, std::uint32_t>& playing,
                                                   Clock::time_point now) const {
  std::map<std::string, const Sink*> picked;
  for (const auto& sink : listed) {
    if (!chosen.contains(sink.description) || !usable(sink, now)) continue;
    const auto current = playing.find(sink.description);
    const auto* held = picked[sink.description];
    const bool holdsCurrent = held && current != playing.end() && held->index == current->second;
    if (!holdsCurrent) picked[sink.description] = &sink;
  }
  std::vector<Sink> sinks;
  for (const auto& sink : listed) {
    const auto found = picked.find(sink.description);
    if (found != picked.end() && found->second == &sink) sinks.push_back(sink);
  }
  return sinks;
}

void SpeakerSinks::broke(std::uint32_t index, Clock::time_point now) { broken_[index] = now; }

void SpeakerSinks::forgetGone(const std::vector<Sink>& listed) {
  std::erase_if(broken_, [&](const auto& entry) {
    return std::none_of(listed.begin(), listed.end(), [&](const Sink& sink) { return sink.index == entry.first; });
  });
}

bool SpeakerSinks::usable(const Sink& sink, Clock::time_point now) const {
  const auto found = broken_.find(sink.index);
  return found == broken_.end() || now - found->second >= retryAfter;
}

}  // namespace kovali
