#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "model/date.h"
#include "model/hashing.h"
#include "protocol/envelope.h"

namespace vinaro::test {

/// A small message body for exercising the codec before the real vocabularies exist: "note"
/// carries a payload, "ping" carries none.
struct SampleBody {
  struct Note {
    std::string text{};
    Date sentAt{};
    std::optional<std::string> link{};
    std::vector<std::string> tags{};

    bool operator==(const Note&) const = default;
  };
  struct Ping {
    bool operator==(const Ping&) const = default;
  };

  std::variant<Note, Ping> value;

  static SampleBody note(Note note) { return {std::move(note)}; }
  static SampleBody ping() { return {Ping{}}; }

  std::string_view type() const { return std::holds_alternative<Note>(value) ? "note" : "ping"; }

  void writeBody(wire::ObjectWriter& out) const {
    out.field(BodyCodingKeys::type, type());
    if (const Note* payload = std::get_if<Note>(&value)) {
      out.field(BodyCodingKeys::payload, *payload);
    } else {
      out.field(BodyCodingKeys::payload, EmptyPayload{});
    }
  }

  static SampleBody readBody(const wire::ObjectReader& in) {
    const auto type = in.required<std::string>(BodyCodingKeys::type);
    if (type == "ping") return ping();  // nothing to read, so any payload will do
    if (type == "note") return note(in.required<Note>(BodyCodingKeys::payload));
    wire::DecodeError error("Unknown test body type '" + type + "'");
    error.addOuterKey(BodyCodingKeys::type);
    throw error;
  }

  bool operator==(const SampleBody&) const = default;
};

inline void writeJSON(wire::Writer& writer, const SampleBody::Note& note) {
  writer.writeObject([&](wire::ObjectWriter& object) {
    object.field("text", note.text);
    object.field("sentAt", note.sentAt);
    object.field("link", note.link);
    object.field("tags", note.tags);
  });
}

inline SampleBody::Note readJSON(const wire::Value& value, std::type_identity<SampleBody::Note>) {
  const wire::ObjectReader object(value);
  return SampleBody::Note{
      .text = object.required<std::string>("text"),
      .sentAt = object.required<Date>("sentAt"),
      .link = object.optional<std::string>("link"),
      .tags = object.required<std::vector<std::string>>("tags"),
  };
}

}  // namespace vinaro::test

template <>
struct std::hash<vinaro::test::SampleBody> {
  std::size_t operator()(const vinaro::test::SampleBody& body) const {
    std::size_t seed = vinaro::hashFields(body.value.index());
    if (const auto* note = std::get_if<vinaro::test::SampleBody::Note>(&body.value)) {
      vinaro::hashInto(seed, note->text);
      vinaro::hashInto(seed, note->sentAt);
      vinaro::hashInto(seed, note->link);
      vinaro::hashInto(seed, note->tags);
    }
    return seed;
  }
};
