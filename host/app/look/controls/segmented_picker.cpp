#include "app/look/controls/segmented_picker.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QToolButton>

namespace kovali {

SegmentedPicker::SegmentedPicker(const QStringList& titles, QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
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
