// Wire text: the refusals made here reach the phones word for word.
#include <algorithm>
#include <iterator>
#include <string_view>
#include <unordered_set>

#include "model/session_reducer.h"

namespace vinaro {

namespace {

ProtocolError noQueueItem(const std::string& itemID) {
  return ProtocolError::notFound("No queue item with id " + itemID + ".");
}

}  // namespace

ProtocolError SessionReducer::alreadyQueued() { return ProtocolError::duplicate("That song is already in the queue."); }

QueueItem SessionReducer::newQueueItem(const Track& track, const Participant& addedBy, ReducerContext& context) {
  return QueueItem{context.makeID(), track, addedBy, context.now};
}

std::vector<QueueItem> SessionReducer::newQueueItems(const std::vector<Track>& tracks, const Participant& addedBy,
                                                     const SessionState& state, ReducerContext& context) {
  const bool skipsDuplicates = !state.allowsDuplicates();
  // Views into `tracks` and `state`, neither of which changes while the list is built.
  std::unordered_set<std::string_view> taken;
  if (skipsDuplicates) {
    if (state.playback.current) taken.insert(state.playback.current->track.id);
    for (const QueueItem& item : state.queue) taken.insert(item.track.id);
  }
  std::vector<QueueItem> items;
  for (const Track& track : tracks) {
    if (skipsDuplicates && !taken.insert(track.id).second) continue;
    items.push_back(newQueueItem(track, addedBy, context));
  }
  return items;
}

SessionReducer::Refusal SessionReducer::add(const Track& track, SessionState& state, const Actor& actor,
                                            ReducerContext& context) {
  if (!actor.isDJ()) {
    if (state.mode == PartyMode::suggestion) return suggestSong(track, state, actor, context);
    const std::int64_t maximum = state.settings.maxPendingPerGuest;
    if (state.settings.limitsPerGuest &&
        static_cast<std::int64_t>(state.queueItems(actor.participant().id).size()) >= maximum) {
      return ProtocolError::limitReached("You can have at most " + std::to_string(maximum) +
                                         " songs in the queue at a time.");
    }
  }
  if (!state.allowsDuplicates() && state.contains(track.id)) return alreadyQueued();
  state.queue.push_back(newQueueItem(track, actor.participant(), context));
  return std::nullopt;
}

SessionReducer::Refusal SessionReducer::removeItem(const std::string& itemID, SessionState& state) {
  const auto found =
      std::find_if(state.queue.begin(), state.queue.end(), [&](const QueueItem& item) { return item.id == itemID; });
  if (found == state.queue.end()) return noQueueItem(itemID);
  state.queue.erase(found);
  return std::nullopt;
}

SessionReducer::Refusal SessionReducer::moveItem(const std::string& itemID, std::int64_t toIndex,
                                                 SessionState& state) {
  auto& queue = state.queue;
  const auto found = std::find_if(queue.begin(), queue.end(), [&](const QueueItem& item) { return item.id == itemID; });
  if (found == queue.end()) return noQueueItem(itemID);
  // Compared as unsigned, so a negative index is out of range as well.
  const std::size_t count = queue.size();
  if (static_cast<std::uint64_t>(toIndex) >= count) {
    return ProtocolError::badRequest("toIndex " + std::to_string(toIndex) + " is out of range 0..<" +
                                     std::to_string(count) + ".");
  }
  const auto target = queue.begin() + static_cast<std::ptrdiff_t>(toIndex);
  if (found < target) {
    std::rotate(found, found + 1, target + 1);
  } else if (target < found) {
    std::rotate(target, found, found + 1);
  }
  return std::nullopt;
}

void SessionReducer::loadTracks(const action::LoadTracks& load, SessionState& state, const Actor& actor,
                                ReducerContext& context) {
  if (load.replaceQueue) state.queue.clear();
  std::vector<QueueItem> items = newQueueItems(load.tracks, actor.participant(), state, context);
  state.queue.insert(state.queue.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
  if (load.source) state.source = load.source;
}

}  // namespace vinaro
