#pragma once

#include <string>
#include <vector>

#include <QtMessageHandler>

namespace kovali {

/// Collects the messages logged under one category while it exists (one capture at a time).
class LogCapture {
 public:
  /// `category` such as "kovaliapp.archive"; its info lines are switched on meanwhile.
  explicit LogCapture(std::string category);
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;
  ~LogCapture();

  const std::vector<std::string>& lines() const { return lines_; }
  /// Whether some line starts with `prefix`.
  bool hasLineStartingWith(const std::string& prefix) const;

 private:
  static void handle(QtMsgType type, const QMessageLogContext& context, const QString& message);

  std::string category_;
  std::vector<std::string> lines_;
  QtMessageHandler previous_ = nullptr;
};

}  // namespace kovali
