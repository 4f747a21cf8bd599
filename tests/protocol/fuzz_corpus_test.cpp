// Replays the fuzzer's seed corpus and every input it once found, so that they stay fixed in
// ordinary builds too.

#include "support/fuzz_corpus.h"

#include <gtest/gtest.h>

#include "codec_invariants.h"
#include "protocol/command.h"

namespace vinaro {
namespace {

TEST(FuzzCorpus, EveryKeptInputKeepsTheCodecRules) {
  const auto inputs = kovali::test::readFuzzCorpus(KOVALI_FUZZ_CORPUS_DIR);
  for (const auto& [name, bytes] : inputs) {
    EXPECT_EQ(test::codecInvariantViolation<Command>(bytes), std::nullopt) << name;
  }
  EXPECT_GE(inputs.size(), 5u) << "no corpus at " << KOVALI_FUZZ_CORPUS_DIR;
}

}  // namespace
}  // namespace vinaro
