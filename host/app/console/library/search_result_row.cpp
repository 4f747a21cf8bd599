#include "app/console/library/search_result_row.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/look/artwork/artwork_tile.h"
#include "app/look/palette.h"
#include "app/look/symbols/symbol_icon.h"
#include "app/look/system_font.h"
#include "app/look/text/fitted_label.h"

namespace kovali {

SearchResultRow::SearchResultRow(ArtworkLoader& loader, QWidget* parent)
    : QWidget(parent),
      artwork_(new ArtworkTile(loader, 34, 7, false)),
      title_(new FittedLabel(1, 1.0)),
      subtitle_(new FittedLabel(1, 1.0)),
      add_(new QPushButton),
      check_(new SymbolIcon(Symbol::checkmarkCircleFill, 16, Palette::teal())) {
  title_->setObjectName(QStringLiteral("resultTitle"));
  title_->setFont(systemFont(13));
  subtitle_->setObjectName(QStringLiteral("resultSubtitle"));
  subtitle_->setFont(systemFont(11));
  setForeground(*subtitle_, palette().color(QPalette::PlaceholderText));
  add_->setObjectName(QStringLiteral("add"));
  add_->setFont(systemFont(11));
  check_->setObjectName(QStringLiteral("added"));
  connect(add_, &QPushButton::clicked, this, [this] { emit addClicked(model_.id); });

  auto* lines = new QVBoxLayout;
  lines->setSpacing(1);
  lines->addWidget(title_);
  lines->addWidget(subtitle_);
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 4, 0, 4);
  row->setSpacing(10);
  row->addWidget(artwork_, 0, Qt::AlignVCenter);
  row->addLayout(lines, 1);
  row->addWidget(add_, 0, Qt::AlignVCenter);
  row->addWidget(check_, 0, Qt::AlignVCenter);
}

void SearchResultRow::setModel(const SearchResultModel& model) {
  model_ = model;
  artwork_->setTrack(model.track);
  title_->setText(QString::fromStdString(model.title));
  subtitle_->setText(QString::fromStdString(model.subtitle));
  add_->setText(model.isCollection ? QStringLiteral("Add all") : QStringLiteral("Add"));
  add_->setVisible(!model.added);
  check_->setVisible(model.added);
}

bool SearchResultRow::showsCheckMark() const { return !check_->isHidden(); }

}  // namespace kovali
