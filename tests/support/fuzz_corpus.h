#pragma once

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace kovali::test {

/// Every kept input of a fuzzer's corpus folder, as (file name, bytes), so that the ordinary
/// tests replay what the fuzzer once found.
inline std::vector<std::pair<std::string, std::string>> readFuzzCorpus(const std::filesystem::path& folder) {
  std::vector<std::pair<std::string, std::string>> inputs;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    inputs.emplace_back(entry.path().filename().string(), bytes.str());
  }
  return inputs;
}

}  // namespace kovali::test
