#pragma once

#include <QFont>
#include <QStringList>
#include <QWidget>

namespace kovali {

/// Plain text in at most `maxLines` lines at the widget's font and text colour. Text that does
/// not fit is first set smaller, down to `minimumScale` of the font's size, and then cut with
/// an ellipsis, and the whole text becomes the label's tool tip. Nothing in the text is read as markup.
class FittedLabel final : public QWidget {
  Q_OBJECT

 public:
  explicit FittedLabel(int maxLines = 1, double minimumScale = 1.0, QWidget* parent = nullptr);

  const QString& text() const { return text_; }
  void setText(const QString& text);
  void setAlignment(Qt::Alignment alignment);

  /// The font and lines the text is drawn in at `width`.
  struct Fit {
    QFont font;
    QStringList lines;
    bool cut = false;  // the last line ends in an ellipsis
  };
  Fit fit(int width) const;

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;
  bool hasHeightForWidth() const override { return true; }
  int heightForWidth(int width) const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  Fit computeFit(int width) const;
  void textChanged();
  void updateToolTip();

  QString text_;
  int maxLines_;
  double minimumScale_;
  Qt::Alignment alignment_ = Qt::AlignLeft;
  mutable std::optional<std::pair<int, Fit>> cachedFit_;
};

}  // namespace kovali
