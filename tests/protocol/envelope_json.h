#pragma once

#include <string>

namespace vinaro::test {

/// The envelope with id `id` around a body given as {"payload":…,"type":…}, keys in wire order.
inline std::string envelopeJSON(const std::string& id, const std::string& body, const std::string& replyTo = "null") {
  const std::size_t type = body.rfind(R"(,"type":)");
  return R"({"id":")" + id + R"(",)" + body.substr(1, type - 1) + R"(,"replyTo":)" + replyTo +
         body.substr(type, body.size() - type - 1) + R"(,"v":1})";
}

/// A message of version 1 around a body whose keys may come in any order.
inline std::string messageJSON(const std::string& body) { return R"({"id":"m","v":1,)" + body.substr(1); }

}  // namespace vinaro::test
