#include "platform/sound/capture/pulse_multi_room_capture.h"

#include <QMetaObject>
#include <atomic>

#include "platform/sound/capture/pulse_source_recording.h"
#include "platform/sound/pulse_playback_stream.h"

namespace kovali {
namespace {

const AudioFormat kPlayerFormat{PulsePlaybackStream::sampleRate, PulsePlaybackStream::channels};

SharedPCMBuffer silence(std::int64_t frames) {
  auto buffer = std::make_shared<PCMBuffer>();
  buffer->format = kPlayerFormat;
  buffer->samples.assign(static_cast<std::size_t>(frames * kPlayerFormat.channels), 0.0f);
  return buffer;
}

}  // namespace

/// The player's blocks go to the sink as they are made; while the player makes none for a
/// whole tick (paused, between songs), a tick of silence follows, as a muted output would give.
class PulseMultiRoomCapture::MusicTap final : public Session {
 public:
  MusicTap(PulseMusicPlayer& player, Scheduler& scheduler, Sink sink)
      : player_(player), sink_(std::make_shared<Sink>(std::move(sink))) {
    player_.setTap([sink = sink_, made = made_](const float* samples, std::size_t frames) {
      auto buffer = std::make_shared<PCMBuffer>();
      buffer->format = kPlayerFormat;
      buffer->samples.assign(samples, samples + frames * static_cast<std::size_t>(kPlayerFormat.channels));
      made->fetch_add(static_cast<std::int64_t>(frames));
      (*sink)(std::move(buffer));
    });
    timer_ = scheduler.repeat(silenceTick, [this] { padPause(); });
  }
  ~MusicTap() override { player_.setTap({}); }

 private:
  void padPause() {
    const auto made = made_->load();
    if (made == seen_) (*sink_)(silence(static_cast<std::int64_t>(silenceTick * kPlayerFormat.sampleRate)));
    seen_ = made;
  }

  PulseMusicPlayer& player_;
  std::shared_ptr<Sink> sink_;
  std::shared_ptr<std::atomic<std::int64_t>> made_ = std::make_shared<std::atomic<std::int64_t>>(0);
  std::int64_t seen_ = 0;
  RepeatingTimer timer_;
};

PulseMultiRoomCapture::PulseMultiRoomCapture(PulseMusicPlayer& player, Scheduler& scheduler, QObject* parent)
    : MultiRoomCapture(parent), player_(player), scheduler_(scheduler), watcher_("kovaliapp.host.multiroom.input", [] {}) {
  // The player announces a change before it makes it: the set is read once it is made.
  connect(&player_, &SystemMusicPlayer::stateWillChange, this,
          [this] { QMetaObject::invokeMethod(this, [this] { emit musicStreamsChanged(); }, Qt::QueuedConnection); });
}

PulseMultiRoomCapture::~PulseMultiRoomCapture() = default;

std::set<std::string> PulseMultiRoomCapture::musicStreams() const {
  if (player_.playbackStatus() == MusicPlayerStatus::stopped) return {};
  return {PulseMusicPlayer::streamName};
}

AudioFormat PulseMultiRoomCapture::musicFormat() const { return kPlayerFormat; }

std::optional<std::string> PulseMultiRoomCapture::musicClock() const {
  return watcher_.locked([&]() -> std::optional<std::string> {
    const auto& snapshot = watcher_.snapshot();
    for (const auto& sink : snapshot.sinks) {
      if (sink.name == snapshot.defaultSink) return sink.description;
    }
    return std::nullopt;
  });
}

MultiRoomCapture::SessionOrError PulseMultiRoomCapture::tapMusic(Sink sink) {
  return std::unique_ptr<Session>(std::make_unique<MusicTap>(player_, scheduler_, std::move(sink)));
}

std::optional<std::string> PulseMultiRoomCapture::inputName(const std::string& id) const {
  return watcher_.locked([&]() -> std::optional<std::string> {
    for (const auto& source : watcher_.snapshot().sources) {
      if (!source.isMonitor && source.name == id) return source.description;
    }
    return std::nullopt;
  });
}

MultiRoomCapture::SessionOrError PulseMultiRoomCapture::recordInput(const std::string& id, const AudioFormat& format,
                                                                   Sink sink) {
  auto recording = std::make_unique<PulseSourceRecording>(watcher_, id, format, std::move(sink));
  if (auto failure = recording->failure()) return *failure;
  return std::unique_ptr<Session>(std::move(recording));
}

}  // namespace kovali
