#pragma once

#include <QWidget>
#include <string>

class QComboBox;
class QLabel;
class QListView;

namespace kovali {

class EngineLogModel;
class SessionStore;

/// The content of the window "Engine Log": the player strategy picker bound to the engine, a
/// one-line summary of the engine and the session's revision, and the engine's log, newest line
/// at the bottom. It opens at the oldest line and jumps to the newest each time a line arrives.
class DebugView final : public QWidget {
  Q_OBJECT

 public:
  /// `store` (and its player) must outlive the view.
  explicit DebugView(SessionStore& store, QWidget* parent = nullptr);

  QComboBox& strategyPicker() const { return *strategy_; }
  QString statusLine() const;
  QListView& logList() const { return *log_; }
  EngineLogModel& logModel() const { return *model_; }

 private:
  void followStrategy();
  void refreshStatus();
  void followNewLines();
  void copySelectedLines();

  SessionStore& store_;
  QComboBox* strategy_ = nullptr;
  QLabel* status_ = nullptr;
  QListView* log_ = nullptr;
  EngineLogModel* model_ = nullptr;
  std::string lastLineID_;
};

}  // namespace kovali
