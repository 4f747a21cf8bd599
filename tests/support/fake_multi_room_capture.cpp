#include "support/fake_multi_room_capture.h"

namespace kovali {

class FakeMultiRoomCapture::FakeSession final : public Session {
 public:
  FakeSession(std::shared_ptr<std::map<int, Sink>> sinks, int number) : sinks_(std::move(sinks)), number_(number) {}
  ~FakeSession() override { sinks_->erase(number_); }
  bool isRunning() const override { return sinks_->contains(number_); }

 private:
  std::shared_ptr<std::map<int, Sink>> sinks_;
  int number_;
};

MultiRoomCapture::SessionOrError FakeMultiRoomCapture::tapMusic(Sink sink) {
  if (tapFailure) return *tapFailure;
  return begin("music", tapFormat, std::move(sink));
}

std::optional<std::string> FakeMultiRoomCapture::inputName(const std::string& id) const {
  const auto input = inputs.find(id);
  if (input == inputs.end()) return std::nullopt;
  return input->second;
}

MultiRoomCapture::SessionOrError FakeMultiRoomCapture::recordInput(const std::string& id, const AudioFormat& format,
                                                                   Sink sink) {
  if (recordFailure) return *recordFailure;
  return begin(id, format, std::move(sink));
}

MultiRoomCapture::SessionOrError FakeMultiRoomCapture::begin(std::string source, const AudioFormat& format, Sink sink) {
  started.push_back({std::move(source), format});
  const int number = nextSession_++;
  (*sinks_)[number] = std::move(sink);
  return std::unique_ptr<Session>(std::make_unique<FakeSession>(sinks_, number));
}

void FakeMultiRoomCapture::changeStreams(std::set<std::string> streams) {
  streams_ = std::move(streams);
  emit musicStreamsChanged();
}

bool FakeMultiRoomCapture::deliver(SharedPCMBuffer buffer) {
  if (sinks_->empty()) return false;
  for (auto& [number, sink] : *sinks_) sink(buffer);
  return true;
}

}  // namespace kovali
