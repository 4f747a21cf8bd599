// The capture of the party's sound for multi-room: the music as the host's player makes it, or a
// capture input, and the listeners that hear when the music's streams change.

#include <cmath>

#include "audio/multi_room_audio.h"
#include "audio/stream/hls_stream.h"

namespace kovali {
namespace {

/// Input mode's format when no stream is live yet.
const AudioFormat kDefaultCaptureFormat{48000, 2};

std::string formatWords(const AudioFormat& format) {
  return std::to_string(std::lround(format.sampleRate)) + " Hz, " + std::to_string(format.channels) + " ch";
}

}  // namespace

MultiRoomCapture::Sink MultiRoomAudio::streamSink() {
  // The capture thread only queues: encoding runs on the capture queue, in arrival order.
  return [queue = captureQueue_.get(), stream = stream_](SharedPCMBuffer buffer) {
    queue->async([stream, buffer = std::move(buffer)]() mutable { stream->append(std::move(buffer)); });
  };
}

void MultiRoomAudio::startTap() {
  const auto streams = capture_->musicStreams();
  tappedObjects_ = streams;
  setTappedProcessCount(static_cast<int>(streams.size()));
  if (streams.empty()) {
    log("no music stream yet; waiting for the music to start");
    return;
  }
  const auto format = capture_->musicFormat();
  startStream(format);
  auto tap = capture_->tapMusic(streamSink());
  if (!tap) throw TapError{"Could not capture the music (" + tap.error() + "). Turn multi-room on again."};
  tap_ = std::move(tap).value();
  log("tapping " + std::to_string(streams.size()) + " music stream(s): " + formatWords(format) + ", clock " +
      capture_->musicClock().value_or("none"));
}

void MultiRoomAudio::startInput(const std::string& id) {
  const auto name = capture_->inputName(id);
  if (!name) throw TapError{"The source input isn't connected. It plays again when it's back."};
  // A live stream keeps its format across a source switch; a finished one says nothing.
  const auto format = stream_ && !streamFinished_ ? stream_->sourceFormat() : kDefaultCaptureFormat;
  startStream(format);
  auto session = capture_->recordInput(id, format, streamSink());
  if (!session) {
    log("input " + *name + ": " + session.error());
    throw TapError{"Could not capture " + *name + "."};
  }
  inputSession_ = std::move(session).value();
  inputName_ = name;
  log("streaming " + *name + " instead of the music: " + formatWords(format));
}

void MultiRoomAudio::installListeners() {
  removeListeners();
  musicListener_ = connect(capture_.get(), &MultiRoomCapture::musicStreamsChanged, this,
                           [this] { handlePropertyChange(Listened::musicStreams); });
  listeningForOutput_ = true;
}

void MultiRoomAudio::removeListeners() {
  disconnect(musicListener_);
  listeningForOutput_ = false;
}

void MultiRoomAudio::defaultOutputChanged() {
  if (listeningForOutput_) handlePropertyChange(Listened::defaultOutput);
}

void MultiRoomAudio::tearDownTap() { tap_.reset(); }

void MultiRoomAudio::stopInputSession() { inputSession_.reset(); }

}  // namespace kovali
