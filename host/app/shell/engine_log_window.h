#pragma once

#include <QWidget>

class QPlainTextEdit;

namespace kovali {

class PlayerEngine;

/// The window "Engine Log": for now the player engine's log as plain text, oldest line first,
/// each with its time of day.
class EngineLogWindow final : public QWidget {
  Q_OBJECT

 public:
  explicit EngineLogWindow(PlayerEngine& player, QWidget* parent = nullptr);

  QString text() const;

 private:
  void refresh();

  PlayerEngine& player_;
  QPlainTextEdit* log_ = nullptr;
};

}  // namespace kovali
