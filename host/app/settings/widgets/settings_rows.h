#pragma once

#include <QWidget>

class QLabel;

namespace kovali {

class BoxedField;
class SwitchToggle;

/// A title, an optional caption below it, and a switch at the right edge. The switch shows what
/// `setOn` last gave it; a click reports the wanted value through `switched` and the owner
/// decides what the switch shows next.
class SwitchRow final : public QWidget {
  Q_OBJECT

 public:
  explicit SwitchRow(QWidget* parent = nullptr);

  void setContent(const QString& title, const QString& caption);
  void setOn(bool on);
  SwitchToggle& toggle() const { return *toggle_; }
  QString title() const;
  QString caption() const;

 signals:
  void switched(bool on);

 private:
  QLabel* title_ = nullptr;
  QLabel* caption_ = nullptr;
  SwitchToggle* toggle_ = nullptr;
};

/// A title and a boxed number field at the right edge, holding at most two digits.
class NumberRow final : public QWidget {
  Q_OBJECT

 public:
  explicit NumberRow(QWidget* parent = nullptr);

  void setTitle(const QString& title);
  QString title() const;
  BoxedField& field() const { return *field_; }

 private:
  QLabel* title_ = nullptr;
  BoxedField* field_ = nullptr;
};

}  // namespace kovali
