#pragma once

#include <QImage>
#include <string>
#include <vector>

namespace kovali {

/// The texts of every QR code zbar finds in `image`; transparent pixels count as white.
std::vector<std::string> decodeQRCodes(const QImage& image);

}  // namespace kovali
