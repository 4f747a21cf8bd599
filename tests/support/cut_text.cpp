#include "support/cut_text.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>

#include "app/look/text/fitted_label.h"

namespace kovali {

namespace {

// Elided on purpose: the whole text stays reachable as the tool tip.
bool reachable(const QWidget& widget, const QString& text) {
  QString tip = widget.toolTip();
  tip.replace(QLatin1Char('\n'), QChar::LineSeparator);
  return !text.isEmpty() && tip == text;
}

bool labelCut(const QLabel& label) {
  if (label.text().isEmpty() || label.textFormat() == Qt::RichText) return false;
  const QRect room = label.contentsRect();
  if (label.wordWrap()) return label.heightForWidth(label.width()) > label.height();
  const QSize needed = label.fontMetrics().size(0, label.text());
  return needed.width() > room.width() || needed.height() > room.height() + 1;
}

bool fittedCut(const FittedLabel& label) {
  if (label.text().isEmpty()) return false;
  const FittedLabel::Fit fit = label.fit(label.width());
  const bool tooTall = label.heightForWidth(label.width()) > label.height() + 1;
  return tooTall || (fit.cut && !reachable(label, label.text()));
}

QString describe(const QWidget& widget, const QString& text) {
  const QString name = widget.objectName().isEmpty() ? QString() : QStringLiteral(" #") + widget.objectName();
  return QString::fromLatin1(widget.metaObject()->className()) + name + QStringLiteral(" \"") + text +
         QStringLiteral("\" in %1x%2").arg(widget.width()).arg(widget.height());
}

}  // namespace

QStringList cutTexts(const QWidget& root) {
  QStringList cut;
  for (const QWidget* widget : root.findChildren<QWidget*>()) {
    if (!widget->isVisibleTo(&root) || widget->width() == 0) continue;
    if (const auto* label = qobject_cast<const QLabel*>(widget); label && labelCut(*label)) {
      cut << describe(*widget, label->text());
    } else if (const auto* fitted = qobject_cast<const FittedLabel*>(widget); fitted && fittedCut(*fitted)) {
      cut << describe(*widget, fitted->text());
    } else if (const auto* button = qobject_cast<const QAbstractButton*>(widget);
               button && !button->text().isEmpty() && button->width() < button->sizeHint().width() &&
               !reachable(*button, button->text())) {
      cut << describe(*widget, button->text());
    } else if (const auto* combo = qobject_cast<const QComboBox*>(widget);
               combo && combo->width() < combo->sizeHint().width()) {
      cut << describe(*widget, combo->currentText());
    }
  }
  return cut;
}

}  // namespace kovali
