// The timing of the rig's captures: what the comparison of speakers and this computer rests on.

#include "support/speaker_capture.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "support/timed_monitor_stream.h"

namespace kovali {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

constexpr int rate = 44100;
const Clock::time_point t0{std::chrono::seconds(1000)};

double millisecondsFrom(Clock::time_point from, Clock::time_point to) {
  return std::chrono::duration<double, std::milli>(to - from).count();
}

TEST(PlayedTimeOf, TakesTheMedianOfTheNearbyPiecesAndReachesFarFramesFromTheNearestEnd) {
  // Pieces of 20 ms played on time, one reported 40 ms late.
  std::vector<PlayedPiece> steady;
  for (int i = 0; i < 10; ++i) steady.emplace_back(i * 882, t0 + milliseconds(20 * i) + milliseconds(i == 4 ? 40 : 0));
  const std::vector<PlayedPiece> early{{0, t0}};
  const std::vector<PlayedPiece> late{{10 * rate, t0}};
  struct Case {
    const char* what;
    const std::vector<PlayedPiece>& pieces;
    std::size_t frame;
    double expectedMs;  // from t0
  } cases[] = {
      {"a frame among the pieces", steady, 4 * 882 + 441, 90},
      {"a frame beyond every piece's reach", early, 5 * rate, 5000},
      {"a frame long before the first piece", late, 1 * rate, -9000},
  };
  for (const auto& c : cases) {
    EXPECT_NEAR(millisecondsFrom(t0, playedTimeOf(c.pieces, c.frame, rate)), c.expectedMs, 0.01) << c.what;
  }
  EXPECT_EQ(playedTimeOf({}, 100, rate), Clock::time_point()) << "no pieces";
}

/// A capture file as speaker_capture writes it: S16LE stereo, and a times file beside it.
class CaptureFile {
 public:
  explicit CaptureFile(const QTemporaryDir& folder) : path_(folder.filePath("speaker1.raw").toStdString()) {}
  const std::string& path() const { return path_; }

  void appendTone(double hertz, double seconds) {
    std::ofstream out(path_, std::ios::binary | std::ios::app);
    for (int i = 0; i < static_cast<int>(seconds * rate); ++i, ++frames_) {
      const auto value = static_cast<std::int16_t>(hertz > 0 ? 16000 * std::sin(2 * M_PI * hertz * frames_ / rate) : 0);
      const std::int16_t frame[] = {value, value};
      out.write(reinterpret_cast<const char*>(frame), sizeof frame);
    }
  }
  void appendTimes(const std::string& text) { std::ofstream(path_ + ".times", std::ios::app) << text; }
  static std::string line(long long byte, Clock::time_point at) {
    return std::to_string(byte) + ' ' + std::to_string(std::chrono::nanoseconds(at.time_since_epoch()).count()) + '\n';
  }

 private:
  std::string path_;
  long long frames_ = 0;
};

TEST(SpeakerCaptureFile, FollowsFromItsEndAndWaitsForATimeLineToBeWhole) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  CaptureFile file(folder);
  file.appendTimes(CaptureFile::line(0, t0));
  file.appendTone(0, 1.0);  // before the capture follows: not part of it

  SpeakerCapture capture(file.path());
  // Five seconds on (out of the first piece's reach), a 440 Hz tone whose time line is still
  // being written when the capture first reads.
  const auto toneAt = t0 + std::chrono::seconds(6) + milliseconds(30);
  const std::string toneLine = CaptureFile::line(6LL * rate * 4, toneAt);
  file.appendTone(0, 5.0);
  file.appendTimes(toneLine.substr(0, 9));
  ASSERT_TRUE(capture.read());
  file.appendTimes(toneLine.substr(9));
  file.appendTone(440, 1.0);
  ASSERT_TRUE(capture.read());

  EXPECT_EQ(capture.sound().size(), static_cast<std::size_t>(6 * rate));
  EXPECT_NEAR(capture.mainTone(), 440, 5);
  const auto onset = capture.onset(440);
  ASSERT_TRUE(onset);
  EXPECT_NEAR(millisecondsFrom(toneAt, *onset), 0, 5);  // the onset is found to a few ms
}

TEST(SpeakerCaptureFile, CannotReadWithoutItsFiles) {
  QTemporaryDir folder;
  ASSERT_TRUE(folder.isValid());
  SpeakerCapture capture(folder.filePath("missing.raw").toStdString());
  EXPECT_FALSE(capture.read());
}

}  // namespace
}  // namespace kovali
