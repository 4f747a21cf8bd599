#include "platform/sound/airplay/pulse_stream_player.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <map>

#include "platform/runtime/logging.h"
#include "platform/sound/airplay/hls_reader.h"
#include "platform/sound/airplay/hls_segment_decoder.h"
#include "platform/sound/rendering/pulse_audio_renderer.h"
#include "platform/sound/rendering/render_synchronizer.h"

namespace kovali {

namespace {

constexpr std::chrono::milliseconds supplyInterval{100};

MediaTime microseconds(double seconds) { return {std::llround(seconds * 1e6), 1'000'000}; }

double endOf(const SampleBuffer& buffer) {
  return static_cast<double>(buffer.presentationTime.value + buffer.pcm->frameLength()) /
         buffer.presentationTime.timescale;
}

}  // namespace

PulseStreamPlayer::PulseStreamPlayer(QObject* parent)
    : StreamPlayer(parent), clock_(std::make_shared<RenderSynchronizer>()) {
  supplyTimer_.setInterval(supplyInterval);
  connect(&supplyTimer_, &QTimer::timeout, this, &PulseStreamPlayer::watchSupply);
  connect(&sinks_, &PulseAirPlaySinks::changed, this, [this] {
    speakerSinks_.listed(sinks_.sinks(), SpeakerSinks::Clock::now());
    placeOutputs();
    emit speakerChoicesChanged();
  });
}

PulseStreamPlayer::~PulseStreamPlayer() { dropItem(); }

// ---- The item ---------------------------------------------------------------------------------------

void PulseStreamPlayer::load(const QUrl& url) {
  dropItem();
  hasItem_ = true;
  reader_ = new HLSReader(url, this);
  connect(reader_, &HLSReader::initializationRead, this, &PulseStreamPlayer::initializationRead);
  connect(reader_, &HLSReader::segmentRead, this, &PulseStreamPlayer::segmentRead);
  connect(reader_, &HLSReader::failed, this, &PulseStreamPlayer::fail);
  reader_->start();
  supplyTimer_.start();
}

void PulseStreamPlayer::stop() { dropItem(); }

void PulseStreamPlayer::dropItem() {
  if (reader_) {
    reader_->disconnect(this);
    reader_->deleteLater();
    reader_ = nullptr;
  }
  supplyTimer_.stop();
  outputs_.clear();
  decoder_.reset();
  clock_ = std::make_shared<RenderSynchronizer>();
  decoded_.clear();
  anchor_.reset();
  decodedEnd_ = 0;
  starved_ = false;
  status_ = ItemStatus::unknown;
  hasItem_ = false;
}

void PulseStreamPlayer::fail(const std::string& sentence) {
  if (status_ == ItemStatus::failed) return;
  qCWarning(lcMultiroom).noquote() << "the stream player failed:" << QString::fromStdString(sentence);
  const bool hadItem = hasItem_;
  dropItem();
  hasItem_ = hadItem;  // a failed item stays until it is replaced
  status_ = ItemStatus::failed;
  emit itemStatusChanged(status_, sentence);
}

void PulseStreamPlayer::initializationRead(const QByteArray& data) {
  auto decoder = HLSSegmentDecoder::make(data);
  if (!decoder) return fail(decoder.error());
  decoder_ = std::move(decoder).value();
  placeOutputs();
}

void PulseStreamPlayer::segmentRead(long long sequence, const QByteArray& data) {
  if (!decoder_) return;
  auto buffers = decoder_->decode(data);
  if (!buffers) return fail(buffers.error());
  for (const auto& buffer : buffers.value()) {
    for (auto& output : outputs_) output.renderer->enqueue(buffer);
    decoded_.push_back(buffer);
  }
  anchor_ = {sequence, buffers.value().front().presentationTime.seconds()};
  decodedEnd_ = endOf(buffers.value().back());
  while (!decoded_.empty() && endOf(decoded_.front()) < decodedEnd_ - retainedSeconds) decoded_.pop_front();
  if (status_ != ItemStatus::unknown) return;
  clock_->setRate(1, microseconds(anchor_->second - startLead));
  status_ = ItemStatus::readyToPlay;
  qCInfo(lcMultiroom, "the stream player starts at %.3f s", anchor_->second - startLead);
  emit itemStatusChanged(status_, {});
}

void PulseStreamPlayer::watchSupply() {
  if (status_ != ItemStatus::readyToPlay) return;
  const double now = clock_->currentTime();
  if (!starved_ && now >= decodedEnd_) {
    starved_ = true;
    clock_->setRate(0, MediaTime{});
    qCInfo(lcMultiroom, "the stream player waits for sound at %.3f s", now);
  } else if (starved_ && decodedEnd_ - now >= startLead) {
    starved_ = false;
    clock_->setRate(1, MediaTime{});
    qCInfo(lcMultiroom, "the stream player goes on at %.3f s", now);
  }
}

bool PulseStreamPlayer::isPlaying() const { return hasItem_ && status_ == ItemStatus::readyToPlay && !starved_; }

std::optional<double> PulseStreamPlayer::currentTime() const {
  if (!hasItem_ || status_ != ItemStatus::readyToPlay) return std::nullopt;
  const double now = clock_->currentTime();
  return std::isfinite(now) ? std::optional(now) : std::nullopt;
}

std::optional<StreamPlayer::TimeRange> PulseStreamPlayer::seekableRange() const {
  if (!hasItem_ || !anchor_ || !reader_ || !reader_->playlist()) return std::nullopt;
  const auto& playlist = *reader_->playlist();
  // A segment that has left the playlist no longer ties its time to the listed ones.
  const auto offset = playlist.offsetOf(anchor_->first);
  if (!offset) return std::nullopt;
  const double start = anchor_->second - *offset;
  return TimeRange{start, start + playlist.duration()};
}

StreamPlayer::Route PulseStreamPlayer::route() const {
  if (!isPlaying()) return Route::unknown;
  return chosenSinks().empty() ? Route::thisComputer : Route::speakers;
}

// ---- Outputs ----------------------------------------------------------------------------------------

void PulseStreamPlayer::placeOutputs() {
  if (!decoder_) return;
  std::vector<std::optional<PulseAirPlaySinks::Sink>> wanted;
  for (const auto& sink : chosenSinks()) wanted.emplace_back(sink);
  if (wanted.empty()) wanted.emplace_back();  // this computer's default output
  const auto sameSink = [](const std::optional<PulseAirPlaySinks::Sink>& a,
                           const std::optional<PulseAirPlaySinks::Sink>& b) {
    return a.has_value() == b.has_value() && (!a || (a->index == b->index && a->name == b->name));
  };
  std::erase_if(outputs_, [&](const Output& output) {
    return std::none_of(wanted.begin(), wanted.end(), [&](const auto& sink) { return sameSink(sink, output.sink); });
  });
  const auto now = SpeakerSinks::Clock::now();
  for (const auto& sink : wanted) {
    const bool placed =
        std::any_of(outputs_.begin(), outputs_.end(), [&](const Output& o) { return sameSink(o.sink, sink); });
    if (placed) continue;
    const auto wait = sink ? speakerSinks_.untilSettled(*sink, now) : SpeakerSinks::Clock::duration::zero();
    if (wait > SpeakerSinks::Clock::duration::zero()) {
      QTimer::singleShot(std::chrono::ceil<std::chrono::milliseconds>(wait), this, &PulseStreamPlayer::placeOutputs);
    } else {
      addOutput(sink);
    }
  }
}

void PulseStreamPlayer::addOutput(const std::optional<PulseAirPlaySinks::Sink>& sink) {
  auto token = std::make_shared<int>(0);
  PulseAudioRenderer::Placement placement;
  placement.sink = sink ? sink->name : std::string();
  placement.streamName = sink ? "Kovali multi-room (" + sink->name + ")" : "Kovali multi-room";
  placement.failed = [this, sink, alive = std::weak_ptr<int>(token)](const std::string& reason) {
    QMetaObject::invokeMethod(
        this, [this, sink, alive, reason] { if (!alive.expired()) outputFailed(sink, reason); }, Qt::QueuedConnection);
  };
  Output output{sink, std::make_unique<PulseAudioRenderer>(decoder_->format(), clock_, std::move(placement)),
                std::move(token)};
  if (!sink) output.renderer->setVolume(volume_);
  const double now = clock_->currentTime();
  for (const auto& buffer : decoded_) {
    if (!std::isfinite(now) || endOf(buffer) >= now) output.renderer->enqueue(buffer);
  }
  if (sink) {
    qCInfo(lcMultiroom).noquote() << "the stream player plays on" << QString::fromStdString(sink->description)
                                  << "(" + QString::fromStdString(sink->name) + ")";
  }
  outputs_.push_back(std::move(output));
}

void PulseStreamPlayer::outputFailed(const std::optional<PulseAirPlaySinks::Sink>& sink, const std::string& reason) {
  if (!sink) {
    return fail(!reason.empty() && reason.back() == '.' ? reason
                                                          : "The sound server stopped playing the stream (" + reason + ").");
  }
  qCWarning(lcMultiroom).noquote() << "the speaker" << QString::fromStdString(sink->description)
                                   << "stopped playing:" << QString::fromStdString(reason);
  // The other speakers play on. This one plays again on the next sink made for it, or on this
  // one should it stay and take a stream later.
  speakerSinks_.broke(sink->index, SpeakerSinks::Clock::now());
  std::erase_if(outputs_, [&](const Output& output) { return output.sink && output.sink->index == sink->index; });
  placeOutputs();
  QTimer::singleShot(SpeakerSinks::retryAfter, this, &PulseStreamPlayer::placeOutputs);
}

std::map<std::string, std::uint32_t> PulseStreamPlayer::playingSinks() const {
  std::map<std::string, std::uint32_t> playing;
  for (const auto& output : outputs_) {
    if (output.sink) playing[output.sink->description] = output.sink->index;
  }
  return playing;
}

std::vector<PulseAirPlaySinks::Sink> PulseStreamPlayer::chosenSinks() const {
  return speakerSinks_.pick(sinks_.sinks(), chosen_, playingSinks(), SpeakerSinks::Clock::now());
}

std::vector<StreamPlayer::OutputDevice> PulseStreamPlayer::outputDevices() const {
  std::vector<OutputDevice> devices;
  for (const auto& sink : chosenSinks()) devices.push_back({sink.name, sink.description, sink.volume});
  return devices;
}

void PulseStreamPlayer::setOutputVolume(const std::string& id, float volume) {
  const auto chosen = chosenSinks();
  if (std::any_of(chosen.begin(), chosen.end(), [&](const auto& sink) { return sink.name == id; })) {
    sinks_.setVolume(id, volume);
  }
}

void PulseStreamPlayer::setVolume(float volume) {
  volume_ = std::clamp(volume, 0.0f, 1.0f);
  for (auto& output : outputs_) {
    if (!output.sink) output.renderer->setVolume(volume_);
  }
}

std::vector<StreamPlayer::SpeakerChoice> PulseStreamPlayer::speakerChoices() const {
  std::vector<SpeakerChoice> choices;
  for (const auto& sink : speakerSinks_.perSpeaker(sinks_.sinks(), playingSinks(), SpeakerSinks::Clock::now())) {
    choices.push_back({sink.name, sink.description, chosen_.contains(sink.description)});
  }
  return choices;
}

void PulseStreamPlayer::setSpeakerChosen(const std::string& id, bool chosen) {
  const auto sinks = sinks_.sinks();
  const auto sink = std::find_if(sinks.begin(), sinks.end(), [&](const auto& s) { return s.name == id; });
  if (sink == sinks.end()) return;
  const bool changed = chosen ? chosen_.insert(sink->description).second : chosen_.erase(sink->description) > 0;
  if (!changed) return;
  placeOutputs();
  emit speakerChoicesChanged();
}

void PulseStreamPlayer::startSpeakerDiscovery(DiscoveryDone done) { sinks_.startDiscovery(std::move(done)); }

void PulseStreamPlayer::stopSpeakerDiscovery() { sinks_.stopDiscovery(); }

}  // namespace kovali
