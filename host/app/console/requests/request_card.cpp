#include "app/console/requests/request_card.h"

#include <QAbstractButton>
#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "app/look/artwork/artwork_tile.h"
#include "app/look/controls/focus_ring.h"
#include "app/look/palette.h"
#include "app/look/symbols/symbol_icon.h"
#include "app/look/symbols/symbol_label.h"
#include "app/look/system_font.h"
#include "app/look/text/byline_text.h"
#include "app/look/text/fitted_label.h"
#include "app/look/text/plain_label.h"

namespace kovali {

namespace {

/// A text button stretched across its share of a line: filled, or outlined in a hairline.
class CardButton final : public QAbstractButton {
 public:
  CardButton(const QString& title, QColor textColor, std::optional<QColor> fill) : fill_(std::move(fill)) {
    setText(title);
    setFont(systemFont(12, QFont::Medium));
    textColor_ = std::move(textColor);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    setCursor(Qt::PointingHandCursor);
  }

  QSize sizeHint() const override {
    return {fontMetrics().horizontalAdvance(text()) + 16, fontMetrics().height() + 12};
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    if (isDown()) painter.setOpacity(0.7);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    if (fill_) {
      painter.setPen(Qt::NoPen);
      painter.setBrush(*fill_);
    } else {
      painter.setPen(QPen(Palette::hairline(appearanceOf(*this)), 1));
      painter.setBrush(Qt::NoBrush);
    }
    painter.drawRoundedRect(frame, 7, 7);
    painter.setPen(textColor_);
    painter.drawText(rect(), Qt::AlignCenter | Qt::TextSingleLine, text());
    paintFocusRing(painter, *this, rect(), 7);
  }

 private:
  QColor textColor_;
  std::optional<QColor> fill_;
};

/// The vote count on a faint capsule.
class VotePill final : public QWidget {
 public:
  explicit VotePill(SymbolLabel* label) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(7, 3, 7, 3);
    layout->addWidget(label);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
  }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::inkQuaternary(appearanceOf(*this)));
    const double radius = height() / 2.0;
    painter.drawRoundedRect(QRectF(rect()), radius, radius);
  }
};

}  // namespace

RequestCard::RequestCard(ArtworkLoader& loader, QWidget* parent)
    : RoundedSurface(12, parent),
      artwork_(new ArtworkTile(loader, 36, 8, false)),
      kind_(new SymbolIcon(Symbol::musicNoteList, 10, Palette::teal())),
      title_(new FittedLabel(1, 1.0)),
      byline_(new BylineText(QString(), std::nullopt, 13, false)),
      votes_(new SymbolLabel(Symbol::handThumbsUp, QString())) {
  const Appearance appearance = appearanceOf(*this);
  title_->setObjectName(QStringLiteral("requestTitle"));
  title_->setFont(systemFont(13));
  setForeground(*title_, Palette::ink(appearance));
  byline_->setObjectName(QStringLiteral("requestByline"));
  byline_->setFont(systemFont(11));
  setForeground(*byline_, Palette::inkSecondary(appearance));
  votes_->setObjectName(QStringLiteral("requestVotes"));
  votes_->setFont(systemFont(11, QFont::Medium));
  setForeground(*votes_, Palette::ink(appearance));
  approve_ = new CardButton(QStringLiteral("Add to queue"), Qt::white, Palette::teal());
  approve_->setObjectName(QStringLiteral("approve"));
  reject_ = new CardButton(QStringLiteral("Reject"), Palette::orange(), std::nullopt);
  reject_->setObjectName(QStringLiteral("reject"));
  connect(approve_, &QAbstractButton::clicked, this, [this] { emit approveClicked(model_.id); });
  connect(reject_, &QAbstractButton::clicked, this, [this] { emit rejectClicked(model_.id); });

  auto* titleLine = new QHBoxLayout;
  titleLine->setSpacing(4);
  titleLine->addWidget(kind_, 0, Qt::AlignVCenter);
  titleLine->addWidget(title_, 1);
  auto* lines = new QVBoxLayout;
  lines->setSpacing(2);
  lines->addLayout(titleLine);
  lines->addWidget(byline_);
  auto* first = new QHBoxLayout;
  first->setSpacing(10);
  first->addWidget(artwork_, 0, Qt::AlignVCenter);
  first->addLayout(lines, 1);
  first->addWidget(new VotePill(votes_), 0, Qt::AlignVCenter);
  auto* second = new QHBoxLayout;
  second->setSpacing(6);
  second->addWidget(approve_, 1);
  second->addWidget(reject_, 1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(10, 10, 10, 10);
  layout->setSpacing(10);
  layout->addLayout(first);
  layout->addLayout(second);
}

void RequestCard::setModel(const RequestCardModel& model) {
  model_ = model;
  artwork_->setTrack(model.track);
  if (model.collectionSymbol) kind_->setSymbol(*model.collectionSymbol, Palette::teal());
  kind_->setVisible(model.collectionSymbol.has_value());
  title_->setText(QString::fromStdString(model.title));
  byline_->setContent(QString::fromStdString(model.byline.text), model.byline.badge);
  votes_->setContent(Symbol::handThumbsUp, QString::fromStdString(model.votes));
}

ResolvedRow::ResolvedRow(ArtworkLoader& loader, QWidget* parent)
    : QWidget(parent),
      artwork_(new ArtworkTile(loader, 26, 6, false)),
      title_(new FittedLabel(1, 1.0)),
      mark_(new PlainLabel(QString(), systemFont(11), Palette::teal())) {
  title_->setObjectName(QStringLiteral("resolvedTitle"));
  title_->setFont(systemFont(12));
  setForeground(*title_, Palette::inkSecondary(appearanceOf(*this)));
  mark_->setObjectName(QStringLiteral("resolvedMark"));
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(8);
  row->addWidget(artwork_, 0, Qt::AlignVCenter);
  row->addWidget(title_, 1, Qt::AlignVCenter);
  row->addWidget(mark_, 0, Qt::AlignVCenter);
}

void ResolvedRow::setModel(const ResolvedRowModel& model) {
  model_ = model;
  artwork_->setTrack(model.track);
  title_->setText(QString::fromStdString(model.title));
  mark_->setText(QString::fromStdString(model.mark));
  setForeground(*mark_, model.approved ? Palette::teal() : Palette::orange());
}

}  // namespace kovali
