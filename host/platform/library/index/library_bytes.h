#pragma once

// The library's cache files as bytes. A type is described once, by a function `describe(archive,
// value)` that hands its fields to the archive in order; ByteWriter writes them and ByteReader
// reads them back. Numbers, and lists of plain values, are kept as in memory: the files never
// leave the machine.

#include <cstdint>
#include <cstring>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <utility>
#include <vector>

#include <QString>

namespace kovali {

template <class T>
concept PlainNumber = std::is_arithmetic_v<T> || std::is_enum_v<T>;

class ByteWriter {
 public:
  template <class... Values>
  void operator()(const Values&... values) {
    (put(values), ...);
  }

  const std::string& bytes() const { return bytes_; }

 private:
  template <PlainNumber T>
  void put(const T& value) {
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
  }
  void put(std::string_view text) {
    put(static_cast<std::uint64_t>(text.size()));
    bytes_.append(text);
  }
  void put(const std::string& text) { put(std::string_view(text)); }
  template <class T>
  void put(const std::optional<T>& value) {
    put(value.has_value());
    if (value) put(*value);
  }
  template <class T>
  void put(const std::vector<T>& values) {
    put(static_cast<std::uint64_t>(values.size()));
    if constexpr (std::is_trivially_copyable_v<T>) {
      bytes_.append(reinterpret_cast<const char*>(values.data()), values.size() * sizeof(T));
    } else {
      for (const auto& value : values) put(value);
    }
  }
  template <class Map>
    requires requires { typename Map::mapped_type; }
  void put(const Map& map) {
    put(static_cast<std::uint64_t>(map.size()));
    for (const auto& [key, value] : map) (put(key), put(value));
  }
  template <class T>
  void put(const T& value) {
    // `describe` only reads through a writer.
    describe(*this, const_cast<T&>(value));
  }

  std::string bytes_;
};

/// Reads what a ByteWriter wrote. Reading past the end leaves zero values and marks the reader
/// failed, so that a damaged file never reads outside its bytes.
class ByteReader {
 public:
  explicit ByteReader(std::string_view bytes) : rest_(bytes) {}

  template <class... Values>
  void operator()(Values&... values) {
    (take(values), ...);
  }

  /// Text without a copy, valid as long as the bytes read.
  std::string_view text() {
    std::uint64_t size = 0;
    take(size);
    if (!has(size)) return {};
    const std::string_view text = rest_.substr(0, size);
    rest_.remove_prefix(size);
    return text;
  }

  /// Nothing was missing, and everything was read.
  bool readAll() const { return !failed_ && rest_.empty(); }
  bool failed() const { return failed_; }

 private:
  bool has(std::uint64_t size) {
    if (size > rest_.size()) failed_ = true;
    return !failed_;
  }
  template <PlainNumber T>
  void take(T& value) {
    value = T{};
    if (!has(sizeof value)) return;
    std::memcpy(&value, rest_.data(), sizeof value);
    rest_.remove_prefix(sizeof value);
  }
  void take(bool& value) {
    std::uint8_t byte = 0;
    take(byte);
    value = byte != 0;
  }
  void take(std::string& value) { value = text(); }
  template <class T>
  void take(std::optional<T>& value) {
    bool present = false;
    take(present);
    value.reset();
    if (!present) return;
    T read{};
    take(read);
    value = std::move(read);
  }
  template <class T>
  void take(std::vector<T>& values) {
    std::uint64_t count = 0;
    take(count);
    values.clear();
    // Every value takes at least a byte: a count beyond the bytes left is damage, not a size.
    if (!has(count)) return;
    if constexpr (std::is_trivially_copyable_v<T>) {
      if (!has(count * sizeof(T))) return;
      values.resize(count);
      std::memcpy(values.data(), rest_.data(), count * sizeof(T));
      rest_.remove_prefix(count * sizeof(T));
    } else {
      values.reserve(count);
      for (std::uint64_t i = 0; i < count && !failed_; ++i) take(values.emplace_back());
    }
  }
  template <class Map>
    requires requires { typename Map::mapped_type; }
  void take(Map& map) {
    std::uint64_t count = 0;
    take(count);
    map.clear();
    if (!has(count)) return;
    if constexpr (requires { map.reserve(count); }) map.reserve(count);
    for (std::uint64_t i = 0; i < count && !failed_; ++i) {
      typename Map::key_type key{};
      typename Map::mapped_type value{};
      take(key);
      take(value);
      map.emplace(std::move(key), std::move(value));
    }
  }
  template <class T>
  void take(T& value) {
    describe(*this, value);
  }

  std::string_view rest_;
  bool failed_ = false;
};

/// What a cache file holds: the mark it starts with on disk and the version of its layout.
struct CacheFileKind {
  std::uint32_t mark = 0;
  std::uint32_t version = 0;
};

/// Replaces the file at `path` in one step, making its folder, with what `body` wrote behind the
/// file's kind and a checksum; false when it cannot be written.
bool saveCacheFile(const QString& path, CacheFileKind kind, const ByteWriter& body);

/// The bytes behind the kind and checksum of the file at `path`; nothing when it is missing, of
/// another kind or version, or damaged.
std::optional<std::string> cacheFileBody(const QString& path, CacheFileKind kind);

/// What `read` makes of the body of the cache file at `path`; nothing (an empty value) when there
/// is no body, or when `read` runs past its end or leaves bytes unread.
template <class Read>
auto loadCacheFile(const QString& path, CacheFileKind kind, Read read) -> decltype(read(std::declval<ByteReader&>())) {
  const auto body = cacheFileBody(path, kind);
  if (!body) return {};
  ByteReader in(*body);
  auto value = read(in);
  if (!in.readAll()) return {};
  return value;
}

}  // namespace kovali
