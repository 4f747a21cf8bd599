#include "platform/sound/player/track_timeline.h"

#include <algorithm>

namespace kovali {

void TrackTimeline::begin(std::string entryID, std::int64_t frame, std::int64_t from) {
  if (!stretches_.empty() && !stretches_.back().end) stretches_.back().end = frame;
  stretches_.push_back(Stretch{std::move(entryID), frame, from, std::nullopt});
}

void TrackTimeline::end(std::int64_t frame) {
  if (!stretches_.empty() && !stretches_.back().end) stretches_.back().end = frame;
}

void TrackTimeline::cutAt(std::int64_t frame) {
  while (!stretches_.empty() && stretches_.back().start >= frame) stretches_.pop_back();
  if (!stretches_.empty() && (!stretches_.back().end || *stretches_.back().end > frame)) stretches_.back().end = frame;
}

std::optional<TrackTimeline::Position> TrackTimeline::at(std::int64_t played) const {
  if (stretches_.empty() || isFinished(played)) return std::nullopt;
  auto heard = std::find_if(stretches_.rbegin(), stretches_.rend(), [&](const Stretch& s) { return s.start <= played; });
  const auto& stretch = heard == stretches_.rend() ? stretches_.front() : *heard;
  return Position{stretch.entryID, stretch.from + std::max<std::int64_t>(played - stretch.start, 0)};
}

std::optional<std::string> TrackTimeline::entryBefore(std::int64_t frame) const {
  const auto before = std::find_if(stretches_.rbegin(), stretches_.rend(), [&](const Stretch& s) { return s.start < frame; });
  if (before == stretches_.rend()) return std::nullopt;
  return before->entryID;
}

bool TrackTimeline::isFinished(std::int64_t played) const {
  return !stretches_.empty() && stretches_.back().end && played >= *stretches_.back().end;
}

void TrackTimeline::dropBefore(std::int64_t played) {
  while (stretches_.size() > 1 && stretches_.front().end && *stretches_.front().end <= played) stretches_.pop_front();
}

}  // namespace kovali
