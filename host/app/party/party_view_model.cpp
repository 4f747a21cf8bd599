#include "app/party/party_view_model.h"

#include <algorithm>

#include "app/look/text/format_time.h"
#include "model/overloaded.h"

namespace kovali {

namespace {

NowPlayingModel nowPlayingModel(const vinaro::SessionState& state) {
  const auto& current = state.playback.current;
  if (!current) return {std::nullopt, "Nothing playing yet", "Partygoers can add songs from their iPhone", std::nullopt};
  return {current->track, current->track.title, current->track.artist,
          BylineModel{"Added by " + current->addedBy.name, state.badge(current->addedBy.id)}};
}

UpNextModel upNextModel(const vinaro::SessionState& state) {
  UpNextModel model;
  const std::size_t shown = std::min(state.queue.size(), UpNextModel::maxCards);
  for (std::size_t i = 0; i < shown; ++i) {
    const auto& item = state.queue[i];
    model.cards.push_back({item.id, item.track,
                           BylineModel{item.track.artist + " \u00B7 " + item.addedBy.name, state.badge(item.addedBy.id)}});
  }
  if (state.queue.size() > UpNextModel::maxCards) {
    model.moreText = "+" + std::to_string(state.queue.size() - UpNextModel::maxCards);
  }
  return model;
}

std::string statusWord(vinaro::PlaybackStatus status) {
  switch (status) {
    case vinaro::PlaybackStatus::playing: return "Playing";
    case vinaro::PlaybackStatus::paused: return "Paused";
    case vinaro::PlaybackStatus::stopped: return "Stopped";
  }
  return {};
}

}  // namespace

ProgressModel ProgressModel::at(const vinaro::PlaybackState& playback, vinaro::Date date) {
  ProgressModel model;
  model.position = playback.position(date);
  std::optional<double> duration;
  if (playback.current) duration = playback.current->track.duration;
  if (duration && *duration > 0) model.fraction = std::min(model.position / *duration, 1.0);
  model.isPlaying = playback.status == vinaro::PlaybackStatus::playing;
  model.elapsedText = formatTime(model.position);
  model.statusText = statusWord(playback.status);
  model.durationText = formatTime(duration);
  return model;
}

double ProgressModel::fillWidth(double barWidth, double minimum) const {
  if (!(fraction > 0)) return 0;
  return std::max(fraction * barWidth, minimum);
}

PartyViewModel PartyViewModel::make(const PartySnapshot& snapshot) {
  const auto& state = *snapshot.state;
  PartyViewModel model;
  if (state.input) {
    model.card = LiveInputModel{state.input->name, std::string(vinaro::LiveInput::queueResumesNote)};
  } else {
    model.card = nowPlayingModel(state);
  }
  model.upNext = upNextModel(state);
  if (snapshot.advertisedName) {
    const std::string& name = *snapshot.advertisedName;
    model.join = JoinCodeModel{vinaro::JoinLink{name, state.sessionID},
                               "Open Kovali on your iPhone, or pick \u201C" + name + "\u201D"};
  } else {
    model.join = NetworkStatusModel{networkStatusText(snapshot.serverStatus)};
  }
  model.partygoers = partygoersText(snapshot.partygoerCount);
  model.mode = state.mode == vinaro::PartyMode::collaboration ? PartyModeModel{Symbol::person3, "Collaboration"}
                                                              : PartyModeModel{Symbol::handRaised, "Per requests"};
  return model;
}

std::string playbackWord(vinaro::PlaybackStatus status) {
  switch (status) {
    case vinaro::PlaybackStatus::playing: return "Playing";
    case vinaro::PlaybackStatus::paused: return "Paused";
    case vinaro::PlaybackStatus::stopped: return "Idle";
  }
  return {};
}

std::string partygoersText(std::size_t count) {
  return count == 1 ? "1 partygoer" : std::to_string(count) + " partygoers";
}

std::string networkStatusText(const HostServerStatus& status) {
  return std::visit(vinaro::Overloaded{
                        [](const HostServerStatus::Ready&) -> std::string { return "Registering on the network\u2026"; },
                        [](const HostServerStatus::Failed& failed) { return "Network error: " + failed.message; },
                        [](const HostServerStatus::Stopped&) -> std::string { return "Not advertising"; },
                        [](const HostServerStatus::Starting&) -> std::string { return "Starting\u2026"; },
                    },
                    status.value);
}

}  // namespace kovali
