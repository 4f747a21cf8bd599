// Feeds arbitrary bytes to the stream server's request reading: the head is found where it is,
// read the same way twice, and nothing may crash.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "audio/stream/stream_request_invariants.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const auto violation = kovali::test::streamRequestInvariantViolation(bytes)) {
    std::fprintf(stderr, "request rule broken: %s\n", violation->c_str());
    std::abort();
  }
  return 0;
}
