#include "support/focus_rings.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QScrollArea>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <gtest/gtest.h>
#include <set>
#include <string>

#include "app/look/palette.h"
#include "support/widget_rendering.h"

namespace kovali {

namespace {

// The ring and the hairline inside it.
constexpr int kRingBand = 3;

std::string nameOf(const QWidget& control) {
  return control.metaObject()->className() + (" " + control.accessibleName().toStdString());
}

std::string namesOf(const std::set<QWidget*>& controls) {
  std::string names;
  for (const QWidget* control : controls) names += "\n  " + nameOf(*control);
  return names;
}


/// Whether Tab passes `control` by: a segment of a choice stands for it only while it is chosen.
bool passedByTab(const QWidget& control) {
  const auto* button = qobject_cast<const QAbstractButton*>(&control);
  const QButtonGroup* group = button ? button->group() : nullptr;
  return group && group->exclusive() && group->checkedButton() && !button->isChecked();
}

/// Scrolls `control` into view, with room for what lies around its ring, as Tab does.
void scrollIntoView(const QWidget& control) {
  for (QWidget* holder = control.parentWidget(); holder; holder = holder->parentWidget()) {
    auto* area = qobject_cast<QScrollArea*>(holder);
    if (!area || !area->widget()) continue;
    const QPoint middle = control.mapTo(area->widget(), control.rect().center());
    area->ensureVisible(middle.x(), middle.y(), control.width() / 2 + 8, control.height() / 2 + 8);
  }
}

}  // namespace

std::vector<QWidget*> expectTabReachesEveryStop(const QWidget& view) {
  std::vector<QWidget*> controls;
  std::set<QWidget*> stops;
  for (QWidget* control : view.findChildren<QWidget*>()) {
    if (!control->isVisible() || !control->isEnabled() || !(control->focusPolicy() & Qt::TabFocus)) continue;
    controls.push_back(control);
    if (!passedByTab(*control)) stops.insert(control);
  }
  EXPECT_FALSE(stops.empty());
  if (stops.empty()) return {};
  (*stops.begin())->setFocus(Qt::TabFocusReason);
  std::set<QWidget*> reached;
  for (std::size_t step = 0; step < 2 * stops.size() + 8; ++step) {
    QWidget* focused = QApplication::focusWidget();
    if (!focused) break;
    if (view.isAncestorOf(focused)) reached.insert(focused);
    QTest::keyClick(focused, Qt::Key_Tab);
  }
  EXPECT_EQ(namesOf(reached), namesOf(stops)) << "Tab reaches every control";
  return controls;
}

double expectFocusRings(QWidget& window, const std::vector<QWidget*>& controls) {
  const QColor ring = Palette::focusRing(Appearance::light);
  double weakest = 21;
  for (QWidget* control : controls) {
    SCOPED_TRACE(nameOf(*control));
    if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
    scrollIntoView(*control);
    // The middle of the control's top edge, where the ring runs straight.
    const QPoint edge = control->mapTo(&window, QPoint(control->width() / 2, 0));
    if (edge.y() <= 0) {
      ADD_FAILURE() << "the control's top edge is not inside the window";
      continue;
    }
    const QImage unfocused = grabWidget(window);
    control->setFocus(Qt::TabFocusReason);
    const QImage focused = grabWidget(window);
    EXPECT_FALSE(pixelIs(unfocused, edge.x(), edge.y(), ring, 8)) << "no ring while the control has no focus";
    if (!pixelIs(focused, edge.x(), edge.y(), ring, 8)) {
      ADD_FAILURE() << "no ring at the top edge while the control has the focus";
      continue;
    }
    EXPECT_TRUE(pixelIs(focused, edge.x(), edge.y() + 1, ring, 8)) << "the ring is two pixels wide";
    const double outside = contrastRatio(ring, focused.pixelColor(edge.x(), edge.y() - 1));
    const double inside = contrastRatio(ring, focused.pixelColor(edge.x(), edge.y() + 2));
    EXPECT_GE(std::min(outside, inside), 3.0) << "outside " << outside << ", inside " << inside;
    weakest = std::min({weakest, outside, inside});
  }
  return weakest;
}

void expectNothingUnderTheRing(QWidget& window, const QWidget& control) {
  SCOPED_TRACE(nameOf(control));
  if (QWidget* focused = QApplication::focusWidget()) focused->clearFocus();
  scrollIntoView(control);
  const QRect frame(control.mapTo(&window, QPoint(0, 0)), control.size());
  const QImage image = grabWidget(window).copy(frame);
  const QColor backdrop = image.pixelColor(0, 0);
  int covered = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const bool band = std::min({x, y, image.width() - 1 - x, image.height() - 1 - y}) < kRingBand;
      if (band && !pixelIs(image, x, y, backdrop, 8)) ++covered;
    }
  }
  EXPECT_EQ(covered, 0) << "pixels of the face where the ring runs";
}

}  // namespace kovali
