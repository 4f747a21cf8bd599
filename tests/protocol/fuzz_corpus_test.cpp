// Replays the fuzzer's seed corpus and every input it once found, so that they stay fixed in
// ordinary builds too.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "codec_invariants.h"
#include "protocol/command.h"

namespace vinaro {
namespace {

TEST(FuzzCorpus, EveryKeptInputKeepsTheCodecRules) {
  const std::filesystem::path corpus = KOVALI_FUZZ_CORPUS_DIR;
  std::size_t replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    EXPECT_EQ(test::codecInvariantViolation<Command>(bytes.str()), std::nullopt) << entry.path().filename();
    ++replayed;
  }
  EXPECT_GE(replayed, 5u) << "no corpus at " << corpus;
}

}  // namespace
}  // namespace vinaro
