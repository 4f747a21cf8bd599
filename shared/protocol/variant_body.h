#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <variant>

#include "protocol/envelope.h"
#include "protocol/json_reader.h"
#include "protocol/json_writer.h"

namespace vinaro::wire {

/// A payload type without data: the body writes "payload":{} and reads nothing.
template <class T>
concept Bodiless = std::is_empty_v<T>;

/// Writes a body held as a variant: "type" is the wire name of the alternative, "payload" its
/// JSON (an empty object for a bodiless one). `typeNames` lists one name per alternative.
template <class Payload, std::size_t N>
void writeVariantBody(ObjectWriter& object, const Payload& payload, const std::array<std::string_view, N>& typeNames) {
  static_assert(std::variant_size_v<Payload> == N, "one type name per alternative");
  object.field("type", typeNames[payload.index()]);
  std::visit(
      [&](const auto& alternative) {
        using Alternative = std::decay_t<decltype(alternative)>;
        if constexpr (Bodiless<Alternative>) {
          object.field("payload", EmptyPayload{});
        } else {
          object.field("payload", alternative);
        }
      },
      payload);
}

/// Reads a body held as a variant: finds the alternative named by "type" (exactly, case
/// included) and reads its "payload", which bodiless alternatives ignore whatever it holds.
/// An unknown type fails with "Unknown <kind> type '<type>'".
template <class Payload, std::size_t N>
Payload readVariantBody(const ObjectReader& object, const std::array<std::string_view, N>& typeNames,
                        std::string_view kind) {
  static_assert(std::variant_size_v<Payload> == N, "one type name per alternative");
  const auto type = object.required<std::string>("type");
  std::size_t index = 0;
  while (index < N && typeNames[index] != type) ++index;
  if (index == N) throw DecodeError("Unknown " + std::string(kind) + " type '" + type + "'");

  using Reader = Payload (*)(const ObjectReader&);
  static constexpr auto readers = []<std::size_t... I>(std::index_sequence<I...>) {
    return std::array<Reader, N>{+[](const ObjectReader& body) -> Payload {
      using Alternative = std::variant_alternative_t<I, Payload>;
      if constexpr (Bodiless<Alternative>) {
        return Payload(std::in_place_index<I>);
      } else {
        return Payload(std::in_place_index<I>, body.required<Alternative>("payload"));
      }
    }...};
  }(std::make_index_sequence<N>{});
  return readers[index](object);
}

}  // namespace vinaro::wire
