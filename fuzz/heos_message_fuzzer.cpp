// Feeds arbitrary bytes to the HEOS line reader: a line is read or refused without a crash, every
// accessor answers, and a value escaped into a command line reads back unchanged.

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "heos/heos_message.h"
#include "protocol/utf8.h"

namespace {

void touch(const kovali::JSONValue& value) {
  (void)value.intValue();
  (void)value.stringValue();
  for (const char* key : {"pid", "gid", "sid", "mid", "name", "players"}) {
    if (const auto* member = value.member(key)) touch(*member);
  }
  if (const auto* array = std::get_if<kovali::JSONValue::Array>(&value.value)) {
    for (const auto& element : *array) touch(element);
  }
}

void fail(const char* rule) {
  std::fprintf(stderr, "HEOS message rule broken: %s\n", rule);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  if (const auto response = kovali::HEOSResponse::parse(bytes)) {
    if (response->payload) touch(*response->payload);
    const auto error = kovali::HEOSError::fromMessage(kovali::parseHEOSMessage(response->message));
    if (error.text.empty()) fail("an error without text");
  }
  const auto message = kovali::parseHEOSMessage(bytes);
  for (const auto& [name, value] : message) {
    if (name.find('&') != std::string::npos || name.find('=') != std::string::npos) fail("a name holding & or =");
  }

  const std::string line = kovali::heosCommandLine("x/y", {{"v", std::string(bytes)}});
  const auto readBack = kovali::parseHEOSMessage(std::string_view(line).substr(line.find('?') + 1));
  if (vinaro::isValidUTF8(bytes) && !bytes.empty()) {
    const auto found = readBack.find("v");
    if (found == readBack.end() || found->second != bytes) fail("an escaped value reads back changed");
  }
  return 0;
}
