#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kovali {

/// Text from a file name or a tag as UTF-8 that can be shown: kept when it is valid UTF-8,
/// otherwise read as Latin-1 (the usual encoding of older names and tags).
std::string readableText(std::string_view bytes);

/// The form in which library text is compared when searching: case folded, accents and other
/// marks removed ("Beyoncé" and "BEYONCE" match), a few letters without a decomposition spelt
/// out ("ø" as "o", "ß" as "ss"), runs of white space as one space, none at either end.
std::string foldedForSearch(std::string_view utf8);

/// The words of folded text, in order.
std::vector<std::string> searchWords(std::string_view folded);

}  // namespace kovali
