#pragma once

#include <QLineEdit>
#include <functional>

namespace kovali {

/// The short numeric text field of the settings: monospaced semibold digits centred in a
/// rounded box 85 wide, whose border is teal while the entry is valid and orange while it is
/// not. The focus ring runs around the box, in `ringRoom` kept free at each side. Every edit by
/// the user runs through `filter` first; the field then holds the filtered text and reports it
/// through `edited`. Text set by the program is neither filtered nor reported.
class BoxedField final : public QLineEdit {
  Q_OBJECT

 public:
  static constexpr int width = 85;
  static constexpr int ringRoom = 3;

  using Filter = std::function<QString(const QString&)>;

  /// `size` is the font's size; `filter` maps an edited text to the text the field keeps.
  BoxedField(double size, Filter filter, QWidget* parent = nullptr);

  /// Chooses the border's colour.
  void setValid(bool valid);
  bool isValid() const { return valid_; }

 signals:
  /// The user changed the text; `text` is what the field now holds.
  void edited(const QString& text);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void initStyleOption(QStyleOptionFrame* option) const override;

 private:
  void userEdited(const QString& text);

  Filter filter_;
  bool valid_ = false;
};

}  // namespace kovali
