#pragma once

#include <QTest>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

#include "audio/multi_room_audio.h"
#include "audio/stream/hls_stream.h"
#include "platform/runtime/in_memory_preferences.h"
#include "support/fake_multi_room_platform.h"
#include "support/manual_scheduler.h"
#include "support/stream_audio.h"

namespace kovali {

inline const AudioFormat kFormat{48000, 2};

/// A multi-room controller on fakes whose log lines and change calls the test reads.
struct Observed {
  explicit Observed(InMemoryPreferences& preferences) : platform(scheduler) {
    capture = platform.capture;
    player = platform.player;
    audio = std::make_unique<MultiRoomAudio>(preferences, platform.take());
    QObject::connect(audio.get(), &MultiRoomAudio::logged, [this](const std::string& line) { lines.push_back(line); });
    QObject::connect(audio.get(), &MultiRoomAudio::changed, [this] { ++changes; });
  }

  /// The music plays, so there is a stream of the player to tap.
  void musicPlays() { capture->changeStreams({"Kovali music"}); }

  /// Starts with the music playing and waits for the stream server's port.
  void startOn() {
    musicPlays();
    audio->start();
    ASSERT_EQ(audio->status(), MultiRoomAudio::Status::on());
    ASSERT_TRUE(QTest::qWaitFor([&] { return audio->streamURL().has_value(); }, 5000));
  }

  /// Delivers `seconds` of a tone (or silence) in 0.1 s blocks and waits until the stream took it.
  void deliver(double seconds, float amplitude = 0.5f) { deliverFrames(std::llround(seconds * 48000), amplitude); }

  void deliverFrames(std::int64_t frames, float amplitude) {
    const auto target = audio->stream()->writerHealth().framesAppended + frames;
    for (std::int64_t frame = 0; frame < frames; frame += 4800) {
      const auto length = static_cast<int>(std::min<std::int64_t>(4800, frames - frame));
      capture->deliver(test::sineBuffer(kFormat, frame, length, 440, amplitude));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return audio->stream()->writerHealth().framesAppended >= target; }, 10000));
  }

  /// On, with the player loaded and playing at `time` with the live edge at `edge`.
  void playing(double time, double edge) {
    startOn();
    waitForSegments(3);
    tick();
    player->becomeReady();
    player->time = time;
    player->range = StreamPlayer::TimeRange{0, edge};
  }

  /// Waits until the stream stores `count` media segments.
  void waitForSegments(std::size_t count) {
    while (audio->stream()->segmentCount() < count) deliver(0.5);
  }

  /// One monitor tick.
  void tick() { scheduler.advance(1.0); }

  ManualScheduler scheduler;
  FakeMultiRoomPlatform platform;
  FakeMultiRoomCapture* capture;
  FakeStreamPlayer* player;
  std::unique_ptr<MultiRoomAudio> audio;
  std::vector<std::string> lines;
  int changes = 0;
};

inline bool logged(const Observed& observed, const std::string& line) {
  return std::ranges::find(observed.lines, line) != observed.lines.end();
}

}  // namespace kovali
