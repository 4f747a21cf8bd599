#include "app/console/queue/queue_column_model.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include "model/overloaded.h"

namespace kovali {

namespace {

using vinaro::PlaybackStatus;

std::string serverText(const HostServerStatus& server, PlaybackStatus playback) {
  return std::visit(vinaro::Overloaded{
                        [&](const HostServerStatus::Ready&) { return playbackWord(playback); },
                        [](const HostServerStatus::Failed& failed) { return "Network error: " + failed.message; },
                        [](const auto&) -> std::string { return "Starting the party\u2026"; },
                    },
                    server.value);
}

// The host plays from the music library, so the texts name it.
std::string availabilityText(const MusicService::Availability& availability) {
  return std::visit(
      vinaro::Overloaded{
          [](const MusicService::Denied&) -> std::string { return "Music library access denied"; },
          [](const MusicService::Failed& failed) { return failed.message; },
          [](const MusicService::Authorizing&) -> std::string { return "Opening the music library\u2026"; },
          [](const MusicService::NoSubscription&) -> std::string { return "The music library can't be played"; },
          [](const auto&) -> std::string { return "Music library not opened"; },
      },
      availability);
}

QueuePlaybackModel playbackModel(const vinaro::SessionState& state) {
  const auto& playback = state.playback;
  QueuePlaybackModel model;
  model.transport = {playback.status == PlaybackStatus::playing, playback.current || !state.queue.empty(),
                     playback.current.has_value()};
  if (!playback.current) {
    model.title = "Nothing playing";
    model.byline = {"Add a song or load a playlist to start", std::nullopt};
    return model;
  }
  const auto& current = *playback.current;
  model.track = current.track;
  model.title = current.track.title;
  model.byline = {current.track.artist + " \u00B7 added by " + current.addedBy.name, state.badge(current.addedBy.id)};
  return model;
}

constexpr std::string_view bylineSeparator = " \u00B7 ";

bool isByline(std::string_view text, const vinaro::QueueItem& item) {
  const std::string_view artist = item.track.artist;
  const std::string_view name = item.addedBy.name;
  return text.size() == artist.size() + bylineSeparator.size() + name.size() && text.starts_with(artist) &&
         text.substr(artist.size(), bylineSeparator.size()) == bylineSeparator && text.ends_with(name);
}

/// Brings `row`, the row queue item `item` had before or a new one, up to the item at `index`,
/// assigning only what changed: at a long queue most rows are as they were, and making each
/// afresh costs the console many times what the change cost the party.
void update(QueueRowModel& row, const vinaro::QueueItem& item, std::size_t index, const vinaro::SessionState& state) {
  if (row.id != item.id) row.id = item.id;
  if (row.track != item.track) row.track = item.track;
  row.position = std::to_string(index + 1);
  if (!isByline(row.byline.text, item)) {
    row.byline.text = item.track.artist;
    row.byline.text.append(bylineSeparator).append(item.addedBy.name);
  }
  row.byline.badge = state.badge(item.addedBy.id);
  row.canPlayNext = index > 0;
}

/// For each item of `queue`, the place among `earlier` of the row it had, if it had one. A change
/// moves a few songs and shifts the rest by a place or so, and the earlier rows may be a change
/// older still: those are found within two places of where they stood. The few others, a moved
/// song, are looked for one by one; only many, as after a load, are worth indexing every row for.
std::vector<std::optional<std::size_t>> earlierPlaces(const std::vector<vinaro::QueueItem>& queue,
                                                      const std::vector<QueueRowModel>& earlier) {
  constexpr std::size_t fewMissed = 8;
  std::vector<std::optional<std::size_t>> places(queue.size());
  std::vector<std::size_t> missed;
  for (std::size_t index = 0; index < queue.size(); ++index) {
    const std::string& id = queue[index].id;
    for (const std::size_t near : {index, index + 1, index - 1, index + 2, index - 2}) {
      if (near < earlier.size() && earlier[near].id == id) {
        places[index] = near;
        break;
      }
    }
    if (!places[index] && !earlier.empty()) missed.push_back(index);
  }
  if (missed.size() <= fewMissed) {
    for (const std::size_t index : missed) {
      const auto found = std::find_if(earlier.begin(), earlier.end(),
                                      [&](const QueueRowModel& row) { return row.id == queue[index].id; });
      if (found != earlier.end()) places[index] = static_cast<std::size_t>(found - earlier.begin());
    }
    return places;
  }
  std::unordered_map<std::string_view, std::size_t> byID;
  for (std::size_t place = 0; place < earlier.size(); ++place) byID.emplace(earlier[place].id, place);
  for (const std::size_t index : missed) {
    if (const auto found = byID.find(queue[index].id); found != byID.end()) places[index] = found->second;
  }
  return places;
}

}  // namespace

ConsoleStatus ConsoleStatus::of(const ConsoleSnapshot& snapshot) {
  if (!std::holds_alternative<MusicService::Ready>(snapshot.availability)) {
    return {availabilityText(snapshot.availability), false};
  }
  if (snapshot.playbackError) return {"Can't play: " + *snapshot.playbackError, false};
  // Every change would be lost in a crash: the host has to know.
  if (snapshot.saveProblem) return {"Can't save the party: " + *snapshot.saveProblem, false};
  return {serverText(snapshot.serverStatus, snapshot.state->playback.status),
          std::holds_alternative<HostServerStatus::Ready>(snapshot.serverStatus.value)};
}

ClearConfirmation ClearConfirmation::forCount(std::size_t count) {
  const std::string phrase = songCountPhrase(count);
  return {"Clear the queue?",
          "This removes all " + phrase +
              " under Up next. The song playing now keeps playing, and pending requests are kept.",
          "Clear " + phrase};
}

QueueColumnModel QueueColumnModel::make(const ConsoleSnapshot& snapshot, std::vector<QueueRowModel> earlierRows) {
  const auto& state = *snapshot.state;
  QueueColumnModel model;
  model.partyName = state.name;
  model.status = ConsoleStatus::of(snapshot);
  model.partygoers = partygoersText(snapshot.participants.size());
  if (state.input) {
    model.nowPlaying = LiveInputModel{state.input->name, std::string(vinaro::LiveInput::queueResumesNote)};
  } else {
    model.nowPlaying = playbackModel(state);
  }
  model.transportNotice = snapshot.transportNotice;
  model.upNextTitle = "Up next \u00B7 " + std::to_string(state.queue.size());
  model.canClear = !state.queue.empty();
  const auto places = earlierPlaces(state.queue, earlierRows);
  model.rows.reserve(state.queue.size());
  for (std::size_t index = 0; index < state.queue.size(); ++index) {
    model.rows.push_back(places[index] ? std::move(earlierRows[*places[index]]) : QueueRowModel{});
    update(model.rows.back(), state.queue[index], index, state);
  }
  if (snapshot.lastHostError) model.errorLine = snapshot.lastHostError->message;
  return model;
}

std::string songCountPhrase(std::size_t count) { return count == 1 ? "1 song" : std::to_string(count) + " songs"; }

std::string clearedNotice(std::size_t count) { return "Cleared " + songCountPhrase(count); }

std::optional<std::size_t> reorderTarget(const std::set<std::size_t>& dragged, std::size_t destination,
                                         std::size_t queueLength) {
  if (dragged.empty()) return std::nullopt;
  const std::size_t first = *dragged.begin();
  const std::size_t target = first < destination ? destination - 1 : destination;
  if (target == first || first >= queueLength) return std::nullopt;
  return target;
}

std::size_t dropDestination(const std::vector<vinaro::QueueItem>& queue, const std::string& itemID,
                            const std::vector<std::string>& shownIDs, std::size_t destination) {
  std::unordered_map<std::string_view, std::size_t> placeOf;
  for (std::size_t place = 0; place < queue.size(); ++place) placeOf.emplace(queue[place].id, place);
  // The dragged row itself names no place: the queue may have moved it since.
  std::vector<std::string_view> around;
  std::size_t at = destination;
  for (std::size_t row = 0; row < shownIDs.size(); ++row) {
    if (shownIDs[row] != itemID) {
      around.emplace_back(shownIDs[row]);
    } else if (row < destination) {
      --at;
    }
  }
  for (std::size_t distance = 0; distance < around.size(); ++distance) {
    if (at + distance < around.size()) {
      if (const auto below = placeOf.find(around[at + distance]); below != placeOf.end()) return below->second;
    }
    if (distance < at) {
      if (const auto above = placeOf.find(around[at - 1 - distance]); above != placeOf.end()) return above->second + 1;
    }
  }
  return queue.size();
}

}  // namespace kovali
