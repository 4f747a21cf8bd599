#include "app/look/sheet_scrim.h"

#include <QDialog>
#include <QEvent>
#include <QPainter>

#include "app/look/palette.h"

namespace kovali {

SheetScrim::SheetScrim(QDialog& sheet) : QWidget(sheet.parentWidget()->window()) {
  setObjectName(QStringLiteral("sheetScrim"));
  parentWidget()->installEventFilter(this);
  setGeometry(parentWidget()->rect());
  connect(&sheet, &QDialog::finished, this, &QObject::deleteLater);
  connect(&sheet, &QObject::destroyed, this, &QObject::deleteLater);
  raise();
  show();
}

bool SheetScrim::eventFilter(QObject* watched, QEvent* event) {
  if (watched == parentWidget() && event->type() == QEvent::Resize) setGeometry(parentWidget()->rect());
  return QWidget::eventFilter(watched, event);
}

void SheetScrim::paintEvent(QPaintEvent*) { QPainter(this).fillRect(rect(), withOpacity(Qt::black, opacity)); }

}  // namespace kovali
