#pragma once

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace kovali {

/// Puts the rig's sound server at rest, waiting up to `patienceMs`: every AirPlay sink of a rig
/// speaker listed, at full volume, and no stream playing on any of them. The error is a sentence.
std::optional<std::string> settleAirPlayRig(int patienceMs = 15000);

/// The base of every AirPlayRig test: skipped outside the rig (tests/support/airplay_rig.sh), and
/// the rig at rest before and after each test, so that no test hears another's volume or stream.
class AirPlayRigTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
};

}  // namespace kovali
