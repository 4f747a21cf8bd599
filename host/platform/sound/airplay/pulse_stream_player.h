#pragma once

#include <QTimer>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/sound/airplay/pulse_air_play_sinks.h"
#include "platform/sound/airplay/speaker_sinks.h"
#include "platform/sound/airplay/stream_player.h"
#include "platform/sound/pcm_buffer.h"

namespace kovali {

class HLSReader;
class HLSSegmentDecoder;
class PulseAudioRenderer;
class RenderSynchronizer;

/// The stream player on the sound server: reads the live stream over HTTP, decodes it with
/// FFmpeg and plays it through one playback stream per chosen AirPlay sink, all on one clock,
/// each writing ahead by its own latency so the speakers sound together (or through one stream
/// on the default output while no speaker is chosen). Main thread.
class PulseStreamPlayer final : public StreamPlayer {
  Q_OBJECT

 public:
  /// How far the clock starts behind the first segment read, so that even a speaker that buffers
  /// seconds ahead finds its sound decoded.
  static constexpr double startLead = 2.5;
  /// Decoded sound kept for an output added while playing.
  static constexpr double retainedSeconds = 10;

  explicit PulseStreamPlayer(QObject* parent = nullptr);
  ~PulseStreamPlayer() override;

  void load(const QUrl& url) override;
  void stop() override;
  bool hasItem() const override { return hasItem_; }
  ItemStatus itemStatus() const override { return status_; }
  bool isPlaying() const override;
  std::optional<double> currentTime() const override;
  std::optional<TimeRange> seekableRange() const override;
  Route route() const override;
  std::vector<OutputDevice> outputDevices() const override;
  void setOutputVolume(const std::string& id, float volume) override;
  void setVolume(float volume) override;
  std::vector<SpeakerChoice> speakerChoices() const override;
  void setSpeakerChosen(const std::string& id, bool chosen) override;
  void startSpeakerDiscovery(DiscoveryDone done) override;
  void stopSpeakerDiscovery() override;

 private:
  struct Output {
    std::optional<PulseAirPlaySinks::Sink> sink;  // none: the default output
    std::unique_ptr<PulseAudioRenderer> renderer;
    std::shared_ptr<int> token;  // expires with the output, so a late failure report finds it gone
  };

  void initializationRead(const QByteArray& data);
  void segmentRead(long long sequence, const QByteArray& data);
  void fail(const std::string& sentence);
  void dropItem();
  /// Plays on the sink of each chosen speaker there is, or on the default output when there is none;
  /// a sink just made gets its stream once it has settled.
  void placeOutputs();
  void addOutput(const std::optional<PulseAirPlaySinks::Sink>& sink);
  void outputFailed(const std::optional<PulseAirPlaySinks::Sink>& sink, const std::string& reason);
  /// Holds the clock when the sound ran out, and runs it again once there is enough.
  void watchSupply();
  /// The sink each chosen speaker plays on, one per speaker.
  std::vector<PulseAirPlaySinks::Sink> chosenSinks() const;
  /// Speaker name -> the index of the sink it plays on now.
  std::map<std::string, std::uint32_t> playingSinks() const;

  PulseAirPlaySinks sinks_;
  std::set<std::string> chosen_;  // the speakers' names, which outlast their sinks
  SpeakerSinks speakerSinks_;
  float volume_ = 1.0f;

  bool hasItem_ = false;
  ItemStatus status_ = ItemStatus::unknown;
  HLSReader* reader_ = nullptr;  // deleted later: it may be the one reporting
  std::unique_ptr<HLSSegmentDecoder> decoder_;
  std::shared_ptr<RenderSynchronizer> clock_;
  std::deque<SampleBuffer> decoded_;
  std::optional<std::pair<long long, double>> anchor_;  // the newest segment decoded, and its start
  double decodedEnd_ = 0;                               // seconds on the timeline
  bool starved_ = false;
  std::vector<Output> outputs_;
  QTimer supplyTimer_;
};

}  // namespace kovali
