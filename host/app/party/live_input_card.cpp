#include "app/party/live_input_card.h"

#include <QHBoxLayout>
#include <QPainter>
#include <QVBoxLayout>

#include "app/look/palette.h"
#include "app/look/symbols/symbol.h"
#include "app/look/system_font.h"
#include "app/look/text/fitted_label.h"
#include "app/look/text/plain_label.h"

namespace kovali {

namespace {

constexpr int kTileSide = 190;

/// A charcoal tile with a cream waveform.
class LiveInputTile final : public QWidget {
 public:
  explicit LiveInputTile(QWidget* parent) : QWidget(parent) { setFixedSize(kTileSide, kTileSide); }

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::charcoal());
    painter.drawRoundedRect(QRectF(rect()), 20, 20);
    QRectF symbol(0, 0, 80, 80);
    symbol.moveCenter(QRectF(rect()).center());
    paintSymbol(painter, Symbol::waveform, symbol, Palette::cream());
  }
};

}  // namespace

LiveInputCard::LiveInputCard(QWidget* parent)
    : QWidget(parent), name_(new FittedLabel(2, 0.7)), note_(new PlainLabel) {
  tile_ = new LiveInputTile(this);
  name_->setObjectName(QStringLiteral("liveInputName"));
  name_->setFont(systemFont(32, QFont::DemiBold));
  setForeground(*name_, Palette::charcoal());
  note_->setObjectName(QStringLiteral("liveInputNote"));
  note_->setFont(systemFont(19));
  setForeground(*note_, withOpacity(Palette::charcoal(), 0.62));
  note_->setWordWrap(true);

  auto* text = new QWidget;
  auto* column = new QVBoxLayout(text);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(6);
  column->addWidget(name_);
  column->addWidget(note_);

  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(28);
  row->addWidget(tile_, 0, Qt::AlignVCenter);
  row->addWidget(text, 1, Qt::AlignVCenter);
}

QWidget& LiveInputCard::tile() const { return *tile_; }

void LiveInputCard::setModel(const LiveInputModel& model) {
  name_->setText(QString::fromStdString(model.name));
  note_->setText(QString::fromStdString(model.note));
}

}  // namespace kovali
