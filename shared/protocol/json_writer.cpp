#include "protocol/json_writer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numeric>
#include <span>

#include "protocol/utf8.h"

namespace vinaro::wire {
namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";

}  // namespace

void Writer::writeInteger(std::int64_t number) {
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  out_.append(buffer, result.ptr);
}

void Writer::writeNumber(double number) {
  if (!std::isfinite(number)) {
    throw EncodeError("Cannot write the non-finite number " + std::to_string(number) + " as JSON.");
  }
  // Integral values are written without a fraction, as the phones' encoder does (1500, not 1500.0).
  constexpr double kExactIntegerLimit = 9007199254740992.0;  // 2^53
  if (std::trunc(number) == number && std::fabs(number) < kExactIntegerLimit) {
    writeInteger(static_cast<std::int64_t>(number));
    return;
  }
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, number);
  out_.append(buffer, result.ptr);
}

void Writer::writeString(std::string_view text) {
  out_ += '"';
  std::size_t runBegin = 0;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\' && c < 0x80) {
      ++i;
      continue;
    }
    if (c >= 0x80) {
      if (const std::size_t length = utf8SequenceLength(text.substr(i))) {
        i += length;
        continue;
      }
    }
    out_.append(text.substr(runBegin, i - runBegin));
    switch (c) {
      case '"': out_ += "\\\""; break;
      case '\\': out_ += "\\\\"; break;
      case '\b': out_ += "\\b"; break;
      case '\f': out_ += "\\f"; break;
      case '\n': out_ += "\\n"; break;
      case '\r': out_ += "\\r"; break;
      case '\t': out_ += "\\t"; break;
      default:
        if (c < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          out_ += "\\u00";
          out_ += kHex[c >> 4];
          out_ += kHex[c & 0xF];
        } else {
          // Broken UTF-8 (say, from a file tag) would make the whole message unreadable.
          out_ += kReplacementCharacter;
        }
    }
    runBegin = ++i;
  }
  out_.append(text.substr(runBegin));
  out_ += '"';
}

void ObjectWriter::writeKey(std::string_view key) {
  if (!first_) writer_.out_ += ',';
  first_ = false;
  writer_.fields_.push_back({key, writer_.out_.size()});
  writer_.writeString(key);
  writer_.out_ += ':';
}

void Writer::finishObject(std::size_t objectBegin, std::size_t firstField) {
  const auto fields = std::span(fields_).subspan(firstField);
  const bool sorted = std::is_sorted(fields.begin(), fields.end(),
                                     [](const auto& a, const auto& b) { return a.key < b.key; });
  if (!sorted) {
    // Re-emit the fields in key order. Each field runs up to the comma before the next one.
    const std::string written = out_.substr(objectBegin + 1);
    const std::size_t base = objectBegin + 1;
    std::vector<std::size_t> order(fields.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return fields[a].key < fields[b].key; });
    out_.resize(base);
    for (std::size_t n = 0; n < order.size(); ++n) {
      const std::size_t i = order[n];
      const std::size_t begin = fields[i].begin - base;
      const std::size_t end = i + 1 < fields.size() ? fields[i + 1].begin - base - 1 : written.size();
      if (n > 0) out_ += ',';
      out_.append(written, begin, end - begin);
    }
  }
  fields_.resize(firstField);
  out_ += '}';
}

}  // namespace vinaro::wire
