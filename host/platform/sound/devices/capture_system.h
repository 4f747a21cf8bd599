#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QFuture>
#include <QObject>
#include <QPromise>
#include <qcoro/qcorotask.h>

#include "platform/sound/devices/sound_transport.h"

namespace kovali {

/// One capture input played live on the default output, at full volume and unprocessed. It
/// runs until it is destroyed. Lives on the main thread.
class LivePassThrough : public QObject {
  Q_OBJECT

 public:
  LivePassThrough();
  /// Stops the sound; a start still pending ends with `stoppedText`.
  ~LivePassThrough() override;

  static constexpr const char* stoppedText = "Stopped before it started";

  /// Ends once the sound flows (nothing) or could not start (the reason, the server's words).
  QFuture<std::optional<std::string>> started() const { return started_; }

 signals:
  /// The sound stopped flowing after it had started; the input is still there.
  void failed(const QString& reason);

 protected:
  /// Ends `started` (on the main thread); later calls do nothing.
  void settle(std::optional<std::string> failure);
  bool isSettled() const { return settled_; }

 private:
  QPromise<std::optional<std::string>> promise_;
  QFuture<std::optional<std::string>> started_;
  bool settled_ = false;
};

/// The sound server's capture inputs (microphones and line inputs; never the monitors of its
/// outputs) and the live playing of one of them. Lives on the main thread; what it reports
/// arrives there too.
class CaptureSystem : public QObject {
  Q_OBJECT

 public:
  struct Input {
    std::string id;  // stable across reconnections
    std::string name;
    SoundTransport transport = SoundTransport::other;

    bool operator==(const Input&) const = default;
  };

  /// Whether the host may record, in the shape of a desktop that asks the user.
  enum class RecordPermission { notDetermined, restricted, denied, authorized };

  using QObject::QObject;
  ~CaptureSystem() override;

  /// The inputs as last read, in the server's order.
  virtual std::vector<Input> inputs() const = 0;
  virtual RecordPermission recordPermission() const = 0;
  /// Asks the user whether the host may record; true when allowed.
  virtual QCoro::Task<bool> requestRecordPermission() = 0;
  /// Starts playing the input with `id` live on the default output.
  virtual std::unique_ptr<LivePassThrough> playLive(const std::string& id) = 0;

 signals:
  /// The inputs changed.
  void changed();
};

}  // namespace kovali
