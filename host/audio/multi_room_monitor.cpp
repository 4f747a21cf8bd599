// The once-a-second monitor of multi-room, its reactions to changes of the music's streams, the
// default output and the inputs, and the switch between the music and a capture input.

#include <array>
#include <charconv>
#include <cmath>

#include "audio/multi_room_audio.h"
#include "audio/stream/hls_stream.h"

namespace kovali {
namespace {

constexpr double kSoundWindow = 2.0;       // seconds of appended sound without a sound in it
constexpr std::size_t kSegmentsToLoad = 3;  // stored segments before the player loads
constexpr double kLatencyMargin = 1.0;
constexpr double kLatencyCap = 30.0;
constexpr double kLatencyWhenAhead = 1.0;

/// The shortest decimal that reads back as `value`, with at least one fraction digit.
std::string shortestWithFraction(double value) {
  std::array<char, 64> text{};
  const auto end = std::to_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed).ptr;
  std::string written(text.data(), end);
  if (written.find('.') == std::string::npos) written += ".0";
  return written;
}

}  // namespace

void MultiRoomAudio::tick() {
  if (status_.kind != Status::Kind::on) return;
  const bool inputChanged = checkInput();
  const bool speakersChanged = refreshSpeakers();
  bool changedSomething = inputChanged || speakersChanged;
  if (stream_) {
    const auto health = stream_->writerHealth();
    const bool receiving =
        isStreamFed(health.framesAppended) && health.framesAtLastSound >= 0 &&
        static_cast<double>(health.framesAppended - health.framesAtLastSound) / stream_->sourceFormat().sampleRate <
            kSoundWindow;
    if (receiving != isReceivingAudio_) {
      setIsReceivingAudio(receiving);
      log(receiving ? "receiving sound" : "silence");
      changedSomething = true;
    }
    if (health.writerError && health.writerError != problem_) {
      setProblem(health.writerError);
      log("encoder: " + *health.writerError);
    }
    if (!isStreaming_ && streamURL_ && stream_->segmentCount() >= kSegmentsToLoad &&
        (!nextPlayerAttempt_ || scheduler_.monotonicNow() >= *nextPlayerAttempt_)) {
      loadPlayer(*streamURL_);
    }
  }
  const bool latencyChanged = updateLatency();
  const bool routeChanged = updateRoute();
  if (changedSomething || latencyChanged || routeChanged) emit changed();
}

bool MultiRoomAudio::isStreamFed(std::int64_t framesAppended) {
  // A stopped player ends the tap: the count stops, so silence in it can no longer show.
  if (framesAppended != framesSeen_) {
    framesSeen_ = framesAppended;
    framesGrewAt_ = scheduler_.monotonicNow();
  }
  return secondsBetween(framesGrewAt_, scheduler_.monotonicNow()) < kSoundWindow;
}

bool MultiRoomAudio::checkInput() {
  if (!inputID_) return false;
  const bool present = capture_->inputName(*inputID_).has_value();
  // The sound server ended the recording (it restarted, or the input went and came back between
  // two ticks): it is made anew below.
  if (inputSession_ && present && !inputSession_->isRunning()) {
    log(inputName_.value_or("the input") + " stopped recording; recording it again");
    stopInputSession();
  }
  if (!inputSession_ && present) {
    try {
      startInput(*inputID_);
    } catch (const TapError&) {
      return false;  // tried again on the next tick
    }
    setProblem(std::nullopt);
    return true;
  }
  if (inputSession_ && !present) {
    log(inputName_.value_or("the input") + " was disconnected");
    setProblem(inputName_.value_or("The input") + " was disconnected. It plays again when it's back.");
    stopInputSession();
    return true;
  }
  return false;
}

bool MultiRoomAudio::updateLatency() {
  if (!isStreaming_ || !player_->hasItem() || !player_->isPlaying()) return false;
  const auto range = player_->seekableRange();
  if (!range || !std::isfinite(range->end)) return false;
  const auto time = player_->currentTime();
  if (!time || !std::isfinite(*time)) return false;
  const double behind = range->end - *time;
  const double estimate =
      behind < 0 ? kLatencyWhenAhead : std::round(2 * std::min(behind + kLatencyMargin, kLatencyCap)) / 2;
  if (estimate == outputLatency_) return false;
  setOutputLatency(estimate);
  log("speakers run about " + shortestWithFraction(estimate) + " s behind");
  return true;
}

MultiRoomAudio::Route MultiRoomAudio::detectPlayerRoute() const {
  if (!isStreaming_ || !player_->isPlaying() || !player_->hasItem()) return Route::unknown;
  switch (player_->route()) {
    case StreamPlayer::Route::unknown:
      return Route::unknown;
    case StreamPlayer::Route::thisComputer:
      return Route::mac;
    case StreamPlayer::Route::speakers:
      return Route::speakers;
  }
  return Route::unknown;
}

void MultiRoomAudio::handlePropertyChange(Listened what) {
  if (status_.kind != Status::Kind::on || inputID_) return;
  if (what == Listened::musicStreams) {
    const auto streams = capture_->musicStreams();
    if (streams == tappedObjects_) return;
    log("music streams changed: " + std::to_string(streams.size()) + " now");
  } else {
    log("default output changed");
  }
  tearDownTap();
  retap();
  emit changed();
}

void MultiRoomAudio::retap() {
  try {
    startTap();
    setProblem(std::nullopt);
  } catch (const TapError& error) {
    setProblem(error.message);
    log("re-tap failed: " + error.message);
  }
}

void MultiRoomAudio::setInput(std::optional<std::string> id) {
  if (id == inputID_) return;
  inputID_ = std::move(id);
  if (status_.kind != Status::Kind::on) return;
  stopInputSession();
  inputName_.reset();
  if (inputID_) {
    tearDownTap();
    tappedObjects_.clear();
    setTappedProcessCount(0);
    try {
      startInput(*inputID_);
      setProblem(std::nullopt);
    } catch (const TapError& error) {
      setProblem(error.message);
      log("input: " + error.message);
    }
  } else {
    retap();
  }
  emit changed();
}

bool MultiRoomAudio::refreshSpeakers() {
  Speakers speakers;
  for (const auto& device : player_->outputDevices()) {
    std::optional<int> volume;
    if (device.volume) volume = static_cast<int>(std::lround(std::clamp(*device.volume, 0.0f, 1.0f) * 100));
    speakers.push_back({device.id, device.name, volume});
  }
  if (speakers == speakers_) return false;
  setSpeakers(std::move(speakers));
  return true;
}

}  // namespace kovali
