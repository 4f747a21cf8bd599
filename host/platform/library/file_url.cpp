#include "platform/library/file_url.h"

#include <QByteArray>

namespace kovali {

std::string fileURL(std::string_view path) {
  const QByteArray encoded = QByteArray(path.data(), static_cast<qsizetype>(path.size())).toPercentEncoding("/");
  return "file://" + encoded.toStdString();
}

std::string localPath(const std::string& location) {
  std::string_view rest(location);
  if (rest.starts_with("file://")) {
    rest.remove_prefix(7);
    const auto slash = rest.find('/');  // past "localhost" or an empty host
    rest = slash == std::string_view::npos ? std::string_view{} : rest.substr(slash);
  } else if (rest.starts_with("file:")) {
    rest.remove_prefix(5);
  } else {
    return location;
  }
  // Decoded byte for byte: a file name need not be UTF-8.
  return QByteArray::fromPercentEncoding(QByteArray(rest.data(), static_cast<qsizetype>(rest.size()))).toStdString();
}

}  // namespace kovali
