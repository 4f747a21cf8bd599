#include "app/console/queue/guests_sheet.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/look/hairline.h"
#include "app/look/palette.h"
#include "app/look/sheet_scrim.h"
#include "app/look/symbols/symbol_icon.h"
#include "app/look/system_font.h"
#include "app/look/text/fitted_label.h"
#include "app/look/text/plain_label.h"

namespace kovali {

namespace {

QFont tagFont() {
  QFont font = systemFont(10, QFont::DemiBold);
  font.setLetterSpacing(QFont::AbsoluteSpacing, 1);
  return font;
}

}  // namespace

GuestsSheet::GuestsSheet(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("guestsSheet"));
  setWindowTitle(QStringLiteral("Partygoers"));
  setWindowModality(Qt::WindowModal);
  setFixedWidth(width);
  const Appearance appearance = appearanceOf(*this);

  title_ = new PlainLabel(QString(), systemFont(16, QFont::DemiBold), Palette::ink(appearance));
  title_->setObjectName(QStringLiteral("guestsTitle"));
  auto* done = new QPushButton(QStringLiteral("Done"));
  done->setObjectName(QStringLiteral("done"));
  done->setDefault(true);
  connect(done, &QPushButton::clicked, this, &QDialog::accept);

  empty_ =
      new PlainLabel(QString::fromUtf8(GuestsSheetModel::emptyText), systemFont(13), Palette::inkSecondary(appearance));
  empty_->setObjectName(QStringLiteral("guestsEmpty"));
  empty_->setWordWrap(true);
  empty_->setContentsMargins(0, 20, 0, 20);

  list_ = new RoundedSurface(10);
  list_->setObjectName(QStringLiteral("guestsList"));
  rows_ = new QVBoxLayout(list_);
  rows_->setContentsMargins(12, 0, 12, 0);
  rows_->setSpacing(0);

  auto* header = new QHBoxLayout;
  header->addWidget(title_, 0, Qt::AlignVCenter);
  header->addStretch(1);
  header->addWidget(done, 0, Qt::AlignVCenter);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 18);
  layout->setSpacing(14);
  layout->addLayout(header);
  layout->addWidget(empty_);
  layout->addWidget(list_);
  setModel({});
  if (parent) new SheetScrim(*this);
}

void GuestsSheet::setModel(const GuestsSheetModel& model) {
  if (model == model_ && !model_.title.empty()) return;
  model_ = model;
  title_->setText(QString::fromStdString(model.title));
  while (QLayoutItem* item = rows_->takeAt(0)) {
    delete item->widget();
    delete item;
  }
  for (const GuestRowModel& row : model.rows) rows_->addWidget(makeRow(row));
  empty_->setVisible(model.rows.empty());
  list_->setVisible(!model.rows.empty());
  // The width is fixed; the height follows the rows.
  adjustSize();
}

QWidget* GuestsSheet::makeRow(const GuestRowModel& model) {
  const Appearance appearance = appearanceOf(*this);
  auto* block = new QWidget;
  block->setObjectName(QStringLiteral("guestRow"));
  auto* name = new FittedLabel(1, 1.0);
  name->setObjectName(QStringLiteral("guestName"));
  name->setFont(systemFont(13));
  setForeground(*name, Palette::ink(appearance));
  name->setText(QString::fromStdString(model.name));
  auto* queued = new PlainLabel(QString::fromStdString(model.queued), systemFont(11), Palette::inkTertiary(appearance));
  queued->setObjectName(QStringLiteral("guestQueued"));

  auto* row = new QHBoxLayout;
  row->setContentsMargins(0, 8, 0, 8);
  row->setSpacing(10);
  auto* icon = model.isDJ ? new SymbolIcon(Symbol::headphones, 13, Palette::orange())
                          : new SymbolIcon(Symbol::person, 13, Palette::inkSecondary(appearance));
  icon->setFixedWidth(18);
  icon->setObjectName(QStringLiteral("guestIcon"));
  row->addWidget(icon);
  row->addWidget(name, 1);
  if (model.isDJ) {
    auto* tag = new PlainLabel(QStringLiteral("DJ"), tagFont(), Palette::orange());
    tag->setObjectName(QStringLiteral("djTag"));
    row->addWidget(tag);
  }
  row->addWidget(queued);

  auto* column = new QVBoxLayout(block);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addLayout(row);
  if (model.hasHairlineBelow) {
    auto* hairline = new Hairline(Qt::Horizontal);
    hairline->setObjectName(QStringLiteral("guestHairline"));
    column->addWidget(hairline);
  }
  return block;
}

void GuestsSheet::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const Appearance appearance = appearanceOf(*this);
  painter.fillRect(rect(), Palette::paper(appearance));
  // Its edge parts it from the dimmed console it lies on, where a window manager draws no frame.
  painter.setPen(withOpacity(Palette::ink(appearance), edgeOpacity));
  painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

}  // namespace kovali
