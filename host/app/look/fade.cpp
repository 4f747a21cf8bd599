#include "app/look/fade.h"

#include <QGraphicsOpacityEffect>
#include <QPropertyAnimation>
#include <QVariant>
#include <QWidget>

namespace kovali {

namespace {

constexpr int kFadeMilliseconds = 200;
const char* const kTarget = "kovaliFadeTarget";

QGraphicsOpacityEffect& opacityOf(QWidget& widget) {
  auto* effect = qobject_cast<QGraphicsOpacityEffect*>(widget.graphicsEffect());
  if (!effect) {
    effect = new QGraphicsOpacityEffect(&widget);
    widget.setGraphicsEffect(effect);
  }
  return *effect;
}

}  // namespace

void fadeVisible(QWidget& widget, bool visible) {
  const QVariant target = widget.property(kTarget);
  widget.setProperty(kTarget, visible);
  if (!target.isValid()) {
    widget.setVisible(visible);
    return;
  }
  if (target.toBool() == visible) return;
  QGraphicsOpacityEffect& effect = opacityOf(widget);
  auto* animation = new QPropertyAnimation(&effect, "opacity", &widget);
  animation->setDuration(kFadeMilliseconds);
  animation->setEasingCurve(QEasingCurve::InOutQuad);
  animation->setStartValue(widget.isHidden() ? 0.0 : effect.opacity());
  animation->setEndValue(visible ? 1.0 : 0.0);
  if (visible) {
    effect.setOpacity(animation->startValue().toDouble());
    widget.show();
  } else {
    // A show asked for during the fade keeps the widget.
    QObject::connect(animation, &QPropertyAnimation::finished, &widget, [&widget] {
      if (!widget.property(kTarget).toBool()) widget.hide();
    });
  }
  animation->start(QAbstractAnimation::DeleteWhenStopped);
}

}  // namespace kovali
