#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <tuple>
#include <utility>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "model/date.h"
#include "protocol/json_fields.h"
#include "protocol/string_enum.h"

namespace vinaro::wire {

/// A value the wire form cannot carry (a NaN or infinite number).
class EncodeError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class Writer;
class ObjectWriter;

/// Types that write themselves: `void writeJSON(wire::Writer&, const T&)`, found by ADL.
template <class T>
concept SelfWriting = requires(Writer& writer, const T& value) { writeJSON(writer, value); };

/// Streams the wire form: compact UTF-8, object keys in ascending byte order whatever order the
/// fields are written in, "/" unescaped, integral numbers without a fraction, non-finite numbers
/// refused.
class Writer {
 public:
  explicit Writer(std::string& output) : out_(output) {}

  template <class T>
  void write(const T& value);

  void writeNull() { out_ += "null"; }
  void writeNumber(double number);
  void writeInteger(std::int64_t number);
  void writeString(std::string_view text);

  /// Writes one object; `fill` receives an ObjectWriter and adds the fields.
  template <class Fill>
  void writeObject(Fill&& fill);

 private:
  friend class ObjectWriter;
  struct PendingField {
    std::string_view key;
    std::size_t begin;  // offset of the field's opening quote in the output
  };

  void finishObject(std::size_t objectBegin, std::size_t firstField);

  std::string& out_;
  std::vector<PendingField> fields_;  // a stack shared by all open objects
};

/// Adds fields to the object being written. Optional fields without a value are left out.
class ObjectWriter {
 public:
  template <class T>
  void field(std::string_view key, const T& value) {
    if constexpr (requires { value.has_value(); *value; }) {
      if (!value.has_value()) return;
      writeKey(key);
      writer_.write(*value);
    } else {
      writeKey(key);
      writer_.write(value);
    }
  }
  void nullField(std::string_view key) {
    writeKey(key);
    writer_.writeNull();
  }
  /// A value already in its wire form, such as a part of a message encoded once for many.
  void encodedField(std::string_view key, std::string_view json) {
    writeKey(key);
    writer_.out_ += json;
  }

 private:
  friend class Writer;
  explicit ObjectWriter(Writer& writer) : writer_(writer) {}
  void writeKey(std::string_view key);

  Writer& writer_;
  bool first_ = true;
};

template <class Fill>
void Writer::writeObject(Fill&& fill) {
  const std::size_t objectBegin = out_.size();
  const std::size_t firstField = fields_.size();
  out_ += '{';
  ObjectWriter object(*this);
  fill(object);
  finishObject(objectBegin, firstField);
}

/// One writer per described field with its key, in key order, so that the object needs no
/// sorting afterwards.
template <class T>
auto sortedFieldWriters() {
  using FieldWriter = void (*)(ObjectWriter&, const T&);
  constexpr std::size_t count = std::tuple_size_v<decltype(T::wireFields())>;
  std::array<std::pair<std::string_view, FieldWriter>, count> entries;
  [&]<std::size_t... I>(std::index_sequence<I...>) {
    const auto fields = T::wireFields();
    ((entries[I] = {std::get<I>(fields).key,
                    [](ObjectWriter& object, const T& value) {
                      const auto described = std::get<I>(T::wireFields());
                      object.field(described.key, value.*(described.member));
                    }}),
     ...);
  }(std::make_index_sequence<count>{});
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  return entries;
}

template <class T>
void Writer::write(const T& value) {
  if constexpr (std::is_same_v<T, bool>) {
    out_ += value ? "true" : "false";
  } else if constexpr (std::is_integral_v<T>) {
    writeInteger(static_cast<std::int64_t>(value));
  } else if constexpr (std::is_floating_point_v<T>) {
    writeNumber(static_cast<double>(value));
  } else if constexpr (std::is_convertible_v<const T&, std::string_view>) {
    writeString(value);
  } else if constexpr (std::is_same_v<T, Date>) {
    writeNumber(value.millisecondsSince1970);
  } else if constexpr (StringEnum<T>) {
    writeString(rawValue(value));
  } else if constexpr (requires { value.has_value(); *value; }) {
    if (value.has_value()) write(*value); else writeNull();
  } else if constexpr (requires { typename T::key_type; typename T::mapped_type; }) {
    writeObject([&](ObjectWriter& object) {
      for (const auto& [key, element] : value) object.field(key, element);
    });
  } else if constexpr (requires { value.begin(); value.end(); }) {
    out_ += '[';
    bool first = true;
    for (const auto& element : value) {
      if (!first) out_ += ',';
      first = false;
      write(element);
    }
    out_ += ']';
  } else if constexpr (Described<T>) {
    static const auto fieldWriters = sortedFieldWriters<T>();
    writeObject([&](ObjectWriter& object) {
      for (const auto& [key, writeField] : fieldWriters) writeField(object, value);
    });
  } else {
    static_assert(SelfWriting<T>, "no wire form for this type: add writeJSON(wire::Writer&, const T&)");
    writeJSON(*this, value);
  }
}

/// The wire form of `value`. Throws EncodeError when it holds a non-finite number.
template <class T>
std::string encode(const T& value) {
  std::string output;
  Writer writer(output);
  writer.write(value);
  return output;
}

}  // namespace vinaro::wire
