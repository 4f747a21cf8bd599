#pragma once

#include <QStringList>
#include <QWidget>

class QAbstractButton;
class QButtonGroup;

namespace kovali {

/// A row of segments, one pressed at a time. It shows the index it is given; a click on a
/// segment reports that index through `picked` and leaves the showing to the owner, so a choice
/// the owner does not take springs back at its next `setCurrentIndex`.
class SegmentedPicker final : public QWidget {
  Q_OBJECT

 public:
  /// One segment per title, left to right; none pressed until `setCurrentIndex`.
  explicit SegmentedPicker(const QStringList& titles, QWidget* parent = nullptr);

  void setCurrentIndex(int index);
  int currentIndex() const;
  QAbstractButton* segment(int index) const;

 signals:
  /// A segment was clicked by the user.
  void picked(int index);

 private:
  QButtonGroup* group_ = nullptr;
};

}  // namespace kovali
