#pragma once

// A music folder of distinct small files for the benchmarks: one WAV file a song, each with its
// own tags in a RIFF INFO list. They are written here byte by byte: encoding 200,000 files would
// take far longer than reading them. A folder made once is kept (with a note of how many songs it
// holds) and used again by later runs.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

#include "music_bench_tags.h"

namespace kovali {

namespace benchwav {

inline void putLE(std::string& out, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out += static_cast<char>((value >> (8 * i)) & 0xFF);
}

inline std::string chunk(const char* id, const std::string& body) {
  std::string out(id, 4);
  putLE(out, static_cast<std::uint32_t>(body.size()), 4);
  out += body;
  if (body.size() % 2) out += '\0';
  return out;
}

}  // namespace benchwav

/// A tenth of a second of 8 kHz 8-bit mono silence, tagged with `tags`.
inline std::string taggedWav(const AudioFileTags& tags) {
  using namespace benchwav;
  constexpr std::uint32_t rate = 8000;
  std::string format;
  putLE(format, 1, 2);  // PCM
  putLE(format, 1, 2);  // mono
  putLE(format, rate, 4);
  putLE(format, rate, 4);  // bytes a second
  putLE(format, 1, 2);     // bytes a frame
  putLE(format, 8, 2);     // bits a sample
  std::string info = "INFO";
  info += chunk("INAM", tags.title + '\0');
  info += chunk("IART", tags.artist + '\0');
  info += chunk("IPRD", tags.album + '\0');
  info += chunk("ITRK", std::to_string(tags.trackNumber) + '\0');
  std::string body = "WAVE" + chunk("fmt ", format) + chunk("LIST", info) + chunk("data", std::string(rate / 10, '\x80'));
  return chunk("RIFF", body);
}

/// Where the benchmarks keep a generated folder of `songs` songs: beside their program, in build/.
inline std::filesystem::path keptBenchLibrary(int songs) {
  return std::filesystem::read_symlink("/proc/self/exe").parent_path() / "bench-library" / std::to_string(songs);
}

/// Makes `songs` distinct tagged files in `folder`, 200 a subfolder, unless a finished folder of
/// that many is there; answers the seconds it took (0 when the folder was there).
inline double makeMusicFolder(const std::filesystem::path& folder, int songs) {
  namespace fs = std::filesystem;
  const fs::path note = folder / ".songs";
  if (std::ifstream in(note); in) {
    int made = 0;
    if (in >> made && made == songs) return 0;
  }
  const auto start = std::chrono::steady_clock::now();
  fs::remove_all(folder);
  std::mt19937 random(11);
  for (int i = 0; i < songs; ++i) {
    const fs::path sub = folder / std::to_string(i / 200);
    if (i % 200 == 0) fs::create_directories(sub);
    std::ofstream out(sub / (std::to_string(i) + ".wav"), std::ios::binary);
    out << taggedWav(randomTags(random, i));
    if (!out) throw std::runtime_error("cannot write the bench music folder " + folder.string());
  }
  std::ofstream(note) << songs;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace kovali
