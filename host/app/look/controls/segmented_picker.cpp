#include "app/look/controls/segmented_picker.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

#include "app/look/palette.h"

namespace kovali {

namespace {

QString css(const QColor& color) { return color.name(QColor::HexArgb); }

// The chosen segment is filled with ink, so it stands out in the light and the dark palette alike.
// The focused one takes the focus ring's width in its border and as much less padding: it keeps its size.
QString segmentStyle(Appearance appearance) {
  return QStringLiteral(
             "QToolButton { background: %1; color: %2; border: 1px solid %3; padding: 3px 12px; }"
             "QToolButton:checked { background: %4; color: %5; border-color: %4; }"
             "QToolButton:focus { border: 2px solid %6; padding: 2px 11px; }")
      .arg(css(Palette::surface(appearance)), css(Palette::ink(appearance)), css(Palette::hairline(appearance)),
           css(Palette::ink(appearance)), css(Palette::paper(appearance)), css(Palette::focusRing(appearance)));
}

}  // namespace

SegmentedPicker::SegmentedPicker(const QStringList& titles, QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  setStyleSheet(segmentStyle(appearanceOf(*this)));
  group_ = new QButtonGroup(this);
  group_->setExclusive(true);
  for (qsizetype i = 0; i < titles.size(); ++i) {
    auto* button = new QToolButton(this);
    button->setText(titles[i]);
    button->setCheckable(true);
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    button->setFocusPolicy(Qt::TabFocus);
    group_->addButton(button, static_cast<int>(i));
    layout->addWidget(button);
  }
  connect(group_, &QButtonGroup::idClicked, this, &SegmentedPicker::picked);
}

void SegmentedPicker::setCurrentIndex(int index) {
  if (QAbstractButton* button = segment(index)) button->setChecked(true);
}

int SegmentedPicker::currentIndex() const { return group_->checkedId(); }

QAbstractButton* SegmentedPicker::segment(int index) const { return group_->button(index); }

}  // namespace kovali
