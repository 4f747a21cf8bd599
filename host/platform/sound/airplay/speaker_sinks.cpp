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

std::vector<SpeakerSinks::Sink> SpeakerSinks::perSpeaker(const std::vector<Sink>& listed,
                                                         const std::map<std::string, std::uint32_t>& playing,
                                                         Clock::time_point now) const {
  std::set<std::string> speakers;
  for (const auto& sink : listed) speakers.insert(sink.description);
  std::map<std::string, std::uint32_t> shown;  // speaker name -> sink index
  for (const auto& sink : listed) shown[sink.description] = sink.index;
  for (const auto& sink : pick(listed, speakers, playing, now)) shown[sink.description] = sink.index;
  std::vector<Sink> sinks;
  for (const auto& sink : listed) {
    if (shown[sink.description] == sink.index) sinks.push_back(sink);
  }
  return sinks;
}

void SpeakerSinks::broke(std::uint32_t index, Clock::time_point now) { broken_[index] = now; }

void SpeakerSinks::listed(const std::vector<Sink>& sinks, Clock::time_point now) {
  const auto isListed = [&](std::uint32_t index, const std::string* name) {
    return std::any_of(sinks.begin(), sinks.end(),
                       [&](const Sink& sink) { return sink.index == index && (!name || sink.name == *name); });
  };
  std::erase_if(broken_, [&](const auto& entry) { return !isListed(entry.first, nullptr); });
  std::erase_if(made_, [&](const auto& entry) { return !isListed(entry.first.first, &entry.first.second); });
  for (const auto& sink : sinks) made_.try_emplace({sink.index, sink.name}, watched_ ? now : Clock::time_point::min());
  watched_ = true;
}

SpeakerSinks::Clock::duration SpeakerSinks::untilSettled(const Sink& sink, Clock::time_point now) const {
  const auto found = made_.find({sink.index, sink.name});
  if (found == made_.end() || found->second == Clock::time_point::min()) return Clock::duration::zero();
  return std::max(Clock::duration::zero(), found->second + settleAfter - now);
}

bool SpeakerSinks::usable(const Sink& sink, Clock::time_point now) const {
  const auto found = broken_.find(sink.index);
  return found == broken_.end() || now - found->second >= retryAfter;
}

}  // namespace kovali
