#include "support/log_capture.h"

#include <cstring>

#include <QLoggingCategory>
#include <QString>

namespace kovali {
namespace {
LogCapture* current = nullptr;  // the message handler is process-wide
}

LogCapture::LogCapture(std::string category) : category_(std::move(category)) {
  current = this;
  previous_ = qInstallMessageHandler(&LogCapture::handle);
  QLoggingCategory::setFilterRules(QString::fromStdString(category_ + ".info=true"));
}

LogCapture::~LogCapture() {
  qInstallMessageHandler(previous_);
  QLoggingCategory::setFilterRules(QString());
  current = nullptr;
}

bool LogCapture::hasLineStartingWith(const std::string& prefix) const {
  for (const auto& line : lines_) {
    if (line.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

void LogCapture::handle(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (current != nullptr && context.category != nullptr && current->category_ == context.category) {
    current->lines_.push_back(message.toStdString());
    return;
  }
  if (current != nullptr && current->previous_ != nullptr) current->previous_(type, context, message);
}

}  // namespace kovali
