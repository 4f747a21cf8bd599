#pragma once

#include <cstddef>
#include <string_view>

namespace vinaro {

/// Length of the well-formed UTF-8 sequence at the start of `text`, or 0 when it is not one
/// (overlong forms, surrogates and code points beyond U+10FFFF are not well-formed).
std::size_t utf8SequenceLength(std::string_view text);

bool isValidUTF8(std::string_view text);

}  // namespace vinaro
