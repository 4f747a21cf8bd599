#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vinaro {

/// The text with each %XX turned back into its byte; nothing when an escape is broken or the
/// bytes are not UTF-8. "+" is an ordinary character here, not a space.
std::optional<std::string> percentDecoded(std::string_view text);

}  // namespace vinaro
