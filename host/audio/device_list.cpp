#include "audio/device_list.h"

#include <algorithm>

#include <QCollator>
#include <QString>

#include "platform/runtime/logging.h"

namespace kovali {

bool deviceNameBefore(const std::string& a, const std::string& b) {
  static const QCollator collator = [] {
    QCollator made;
    made.setCaseSensitivity(Qt::CaseInsensitive);
    return made;
  }();
  return collator.compare(QString::fromStdString(a), QString::fromStdString(b)) < 0;
}

bool isPrivateDevice(const std::string& uid) { return uid.rfind(privateDevicePrefix, 0) == 0; }

void logDeviceChanges(const char* kind, const std::vector<std::string>& before, const std::vector<std::string>& after) {
  auto missingFrom = [](const std::vector<std::string>& names, const std::string& name) {
    return std::find(names.begin(), names.end(), name) == names.end();
  };
  for (const auto& name : after) {
    if (missingFrom(before, name)) qCInfo(lcAudio).noquote() << kind << "found:" << QString::fromStdString(name);
  }
  for (const auto& name : before) {
    if (missingFrom(after, name)) qCInfo(lcAudio).noquote() << kind << "lost:" << QString::fromStdString(name);
  }
}

}  // namespace kovali
