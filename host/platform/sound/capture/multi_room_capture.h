#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include <QObject>

#include "platform/sound/pcm_buffer.h"
#include "protocol/expected.h"

namespace kovali {

/// Where multi-room takes the party's sound: the music as the host's own player makes it, or a
/// capture input of the sound server. Lives on the main thread; what it captures is handed on
/// from a capture thread.
class MultiRoomCapture : public QObject {
  Q_OBJECT

 public:
  /// Receives the captured sound block after block, in order, on a capture thread; it must not
  /// block.
  using Sink = std::function<void(SharedPCMBuffer buffer)>;

  /// A running capture: it ends when destroyed, and no block reaches its sink after that.
  class Session {
   public:
    virtual ~Session() = default;
    /// False once the sound server ended the capture (the server went away, or the source did).
    virtual bool isRunning() const { return true; }
  };
  using SessionOrError = vinaro::Expected<std::unique_ptr<Session>, std::string>;

  using QObject::QObject;
  ~MultiRoomCapture() override;

  /// The music player's streams that make the music now: its one stream while it holds a song.
  virtual std::set<std::string> musicStreams() const = 0;
  /// The format the music is made in.
  virtual AudioFormat musicFormat() const = 0;
  /// The output whose clock the music follows, when known.
  virtual std::optional<std::string> musicClock() const = 0;
  /// Hands the music to `sink` and silences the player's own output, which keeps its timing,
  /// until the session ends; silence flows while the player makes none. The error is the reason.
  virtual SessionOrError tapMusic(Sink sink) = 0;

  /// The name of the capture input `id`; none while it is not connected.
  virtual std::optional<std::string> inputName(const std::string& id) const = 0;
  /// Records the input `id` in `format` into `sink`. The error is the reason.
  virtual SessionOrError recordInput(const std::string& id, const AudioFormat& format, Sink sink) = 0;

 signals:
  /// The set of `musicStreams()` may have changed.
  void musicStreamsChanged();
};

}  // namespace kovali
