#pragma once

#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "platform/sound/capture/multi_room_capture.h"

namespace kovali {

/// Multi-room's sources as the test sets them: the music player's streams and the capture
/// inputs. Whatever the test delivers reaches the sink of the capture that runs now.
class FakeMultiRoomCapture final : public MultiRoomCapture {
  Q_OBJECT

 public:
  /// What a capture was started with.
  struct Started {
    std::string source;  // "music" or the input's id
    AudioFormat format;
  };

  std::set<std::string> musicStreams() const override { return streams_; }
  AudioFormat musicFormat() const override { return tapFormat; }
  std::optional<std::string> musicClock() const override { return clock; }
  SessionOrError tapMusic(Sink sink) override;
  std::optional<std::string> inputName(const std::string& id) const override;
  SessionOrError recordInput(const std::string& id, const AudioFormat& format, Sink sink) override;

  /// The player's streams become these, and the capture says so.
  void changeStreams(std::set<std::string> streams);
  /// Hands `buffer` to the running capture's sink; false when none runs.
  bool deliver(SharedPCMBuffer buffer);
  /// Ends every running capture as the sound server would: no more sound, not running.
  void endAll() { sinks_->clear(); }
  /// Captures that run now.
  int running() const { return static_cast<int>(sinks_->size()); }

  AudioFormat tapFormat{48000, 2};  // the music's format
  std::optional<std::string> clock = "Built-in Audio";
  std::map<std::string, std::string> inputs;  // id → name: the connected inputs
  std::optional<std::string> tapFailure;      // what the next taps fail with
  std::optional<std::string> recordFailure;   // what the next recordings fail with
  std::vector<Started> started;

 private:
  class FakeSession;

  SessionOrError begin(std::string source, const AudioFormat& format, Sink sink);

  std::set<std::string> streams_;
  std::shared_ptr<std::map<int, Sink>> sinks_ = std::make_shared<std::map<int, Sink>>();
  int nextSession_ = 0;
};

}  // namespace kovali
