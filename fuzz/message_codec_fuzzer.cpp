// Feeds arbitrary bytes to the message codec: every input must be refused with the right code
// and message or decode to an envelope that survives encoding, and nothing may crash.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "protocol/codec_invariants.h"
#include "protocol/command.h"

using FuzzedBody = vinaro::Command;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const auto violation = vinaro::test::codecInvariantViolation<FuzzedBody>(bytes)) {
    std::fprintf(stderr, "codec rule broken: %s\n", violation->c_str());
    std::abort();
  }
  return 0;
}
