#pragma once

#include <optional>
#include <string>
#include <vector>

#include <QPointer>

#include "platform/runtime/scheduler.h"
#include "platform/sound/devices/capture_system.h"

namespace kovali {

/// A live input that starts, fails or breaks when the test says.
class FakeLivePassThrough final : public LivePassThrough {
  Q_OBJECT

 public:
  explicit FakeLivePassThrough(std::string inputID) : inputID_(std::move(inputID)) {}

  const std::string& inputID() const { return inputID_; }
  void start() { settle(std::nullopt); }
  void refuse(const std::string& reason) { settle(reason); }
  void breakDown(const std::string& reason) { emit failed(QString::fromStdString(reason)); }

 private:
  std::string inputID_;
};

/// A sound server's capture inputs as the test sets them. The permission prompt (when
/// `permission` is not decided) answers `userAllows` after 1 s of the scheduler's time; a live
/// input starts at once unless `startsAtOnce` is false.
class FakeCaptureSystem final : public CaptureSystem {
  Q_OBJECT

 public:
  explicit FakeCaptureSystem(Scheduler* scheduler = nullptr) : scheduler_(scheduler) {}

  std::vector<Input> inputs() const override { return inputs_; }
  RecordPermission recordPermission() const override { return permission; }
  QCoro::Task<bool> requestRecordPermission() override;
  std::unique_ptr<LivePassThrough> playLive(const std::string& id) override;

  /// The server's inputs become these, and it says so.
  void change(std::vector<Input> inputs);
  /// The live inputs started so far, in order; null once stopped.
  std::vector<QPointer<FakeLivePassThrough>> started;
  /// The live inputs that run now.
  int running() const;

  RecordPermission permission = RecordPermission::authorized;
  bool userAllows = true;
  bool startsAtOnce = true;
  int prompts = 0;

 private:
  Scheduler* scheduler_;
  std::vector<Input> inputs_;
};

}  // namespace kovali
