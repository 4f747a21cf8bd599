#include "support/qr_decoder.h"

#include <QPainter>
#include <memory>
#include <zbar.h>

namespace kovali {

std::vector<std::string> decodeQRCodes(const QImage& image) {
  using namespace zbar;  // the C interface, which zbar.h declares in this namespace for C++
  // On white, so transparent light modules read as light.
  QImage flat(image.size(), QImage::Format_RGB32);
  flat.fill(Qt::white);
  QPainter(&flat).drawImage(0, 0, image);
  const QImage gray = flat.convertToFormat(QImage::Format_Grayscale8);

  const int width = gray.width();
  const int height = gray.height();
  std::vector<unsigned char> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  for (int y = 0; y < height; ++y) {
    std::copy_n(gray.constScanLine(y), width, pixels.begin() + static_cast<std::ptrdiff_t>(y) * width);
  }

  const std::unique_ptr<zbar_image_scanner_t, void (*)(zbar_image_scanner_t*)> scanner(zbar_image_scanner_create(),
                                                                                       zbar_image_scanner_destroy);
  zbar_image_scanner_set_config(scanner.get(), ZBAR_NONE, ZBAR_CFG_ENABLE, 0);
  zbar_image_scanner_set_config(scanner.get(), ZBAR_QRCODE, ZBAR_CFG_ENABLE, 1);
  const std::unique_ptr<zbar_image_t, void (*)(zbar_image_t*)> zimage(zbar_image_create(), zbar_image_destroy);
  zbar_image_set_format(zimage.get(), zbar_fourcc('Y', '8', '0', '0'));
  zbar_image_set_size(zimage.get(), static_cast<unsigned>(width), static_cast<unsigned>(height));
  zbar_image_set_data(zimage.get(), pixels.data(), pixels.size(), nullptr);

  std::vector<std::string> texts;
  if (zbar_scan_image(scanner.get(), zimage.get()) <= 0) return texts;
  for (const zbar_symbol_t* symbol = zbar_image_first_symbol(zimage.get()); symbol != nullptr;
       symbol = zbar_symbol_next(symbol)) {
    texts.emplace_back(zbar_symbol_get_data(symbol), zbar_symbol_get_data_length(symbol));
  }
  return texts;
}

}  // namespace kovali
