#pragma once

#include <QWidget>

namespace kovali {

/// One boxed section of the settings screen: its title as an eyebrow, then its content in a
/// rounded box of the surface colour, stretched to the column's width.
class SettingsSection final : public QWidget {
  Q_OBJECT

 public:
  /// Takes `content` as its child.
  SettingsSection(const QString& title, QWidget* content, QWidget* parent = nullptr);

  QString title() const { return title_; }
  QWidget& box() const { return *box_; }

 private:
  class Box;

  QString title_;
  QWidget* box_ = nullptr;
};

}  // namespace kovali
