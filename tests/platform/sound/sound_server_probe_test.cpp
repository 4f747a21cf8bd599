#include "platform/sound/sound_server_probe.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

namespace kovali {
namespace {

/// Points libpulse at a socket for the test's length.
class PulseServerVariable {
 public:
  explicit PulseServerVariable(const QByteArray& value) : previous_(qgetenv("PULSE_SERVER")) {
    hadPrevious_ = qEnvironmentVariableIsSet("PULSE_SERVER");
    qputenv("PULSE_SERVER", value);
  }
  ~PulseServerVariable() {
    if (hadPrevious_) {
      qputenv("PULSE_SERVER", previous_);
    } else {
      qunsetenv("PULSE_SERVER");
    }
  }

 private:
  QByteArray previous_;
  bool hadPrevious_ = false;
};

TEST(SoundServerProbe, ASocketWithNoServerBehindItIsASentenceNotAnAnswer) {
  QTemporaryDir folder;
  const PulseServerVariable server("unix:" + folder.filePath("no-server").toLocal8Bit());
  const auto problem = soundServerProblem(3);
  ASSERT_TRUE(problem);
  EXPECT_TRUE(problem->starts_with("The sound server does not answer: ")) << *problem;
  EXPECT_TRUE(problem->ends_with(".")) << *problem;
}

// Runs inside pulse_music_player_test.sh, which starts a sound server of its own.
TEST(PulseServerSoundServerProbe, TheRunningServerAnswers) {
  if (qEnvironmentVariableIsEmpty("KOVALI_PULSE_TRACKS")) GTEST_SKIP() << "no sound server was started";
  EXPECT_EQ(soundServerProblem(10), std::nullopt);
}

}  // namespace
}  // namespace kovali
