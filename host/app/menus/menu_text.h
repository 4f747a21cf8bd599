#pragma once

#include <QString>
#include <string>

namespace kovali {

/// `text` as a menu item's title: an "&" in a song's title would otherwise mark the next letter
/// as the item's mnemonic and vanish.
QString menuText(const std::string& text);

}  // namespace kovali
