#include "app/settings/sound/device_row.h"

#include <QLayoutItem>
#include <QPainter>
#include <QVBoxLayout>

#include "app/look/controls/focus_ring.h"
#include "app/look/hairline.h"
#include "app/look/palette.h"
#include "app/look/system_font.h"
#include "protocol/string_enum.h"

namespace kovali {

namespace {

using Transport = AudioOutput::Device::Transport;

constexpr int kIconWidth = 20;
constexpr int kSpacing = 10;
constexpr int kPaddingY = 8;
constexpr int kCheck = 12;

}  // namespace

Symbol inputSymbol(Transport transport) {
  switch (transport) {
    case Transport::builtIn: return Symbol::mic;
    case Transport::other: return Symbol::waveform;
    default: return outputSymbol(transport);
  }
}

Symbol outputSymbol(Transport transport) {
  switch (transport) {
    case Transport::builtIn: return Symbol::laptopComputer;
    case Transport::airPlay: return Symbol::airplayAudio;
    case Transport::bluetooth: return Symbol::wave3Right;
    case Transport::usb: return Symbol::cableConnector;
    case Transport::hdmi: return Symbol::display;
    case Transport::other: return Symbol::speakerWave2;
  }
  return Symbol::speakerWave2;
}

std::string transportSubtitle(Transport transport) { return std::string(vinaro::rawValue(transport)); }

DeviceRow::DeviceRow(QWidget* parent) : QAbstractButton(parent) {
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void DeviceRow::setModel(DeviceRowModel model) {
  model_ = std::move(model);
  setText(QString::fromStdString(model_.title));
  setAccessibleName(text());
  updateGeometry();
  update();
}

QSize DeviceRow::sizeHint() const {
  const QFontMetrics title(systemFont(13));
  const QFontMetrics subtitle(systemFont(11));
  return {focusRingRoom + kIconWidth + kSpacing + title.horizontalAdvance(text()) + focusRingRoom,
          title.height() + 1 + subtitle.height() + 2 * kPaddingY};
}

void DeviceRow::paintEvent(QPaintEvent*) {
  const Appearance appearance = appearanceOf(*this);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (isDown()) painter.setOpacity(0.6);
  const QColor accent = Palette::orange();
  const double middle = height() / 2.0;
  paintSymbol(painter, model_.symbol, QRectF(focusRingRoom + kIconWidth / 2.0 - 7, middle - 7, 14, 14),
              model_.selected ? accent : Palette::inkSecondary(appearance));

  const int end = width() - focusRingRoom;
  const int right = model_.selected ? end - kCheck - kSpacing : end;
  const QFont titleFont = systemFont(13);
  const QFont subtitleFont = systemFont(11);
  const QFontMetrics titleMetrics(titleFont);
  const QFontMetrics subtitleMetrics(subtitleFont);
  const int left = focusRingRoom + kIconWidth + kSpacing;
  const int top = (height() - titleMetrics.height() - 1 - subtitleMetrics.height()) / 2;
  const QRect titleBox(left, top, right - left, titleMetrics.height());
  painter.setFont(titleFont);
  painter.setPen(Palette::ink(appearance));
  painter.drawText(titleBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   titleMetrics.elidedText(text(), Qt::ElideRight, titleBox.width()));
  const QRect subtitleBox(left, titleBox.bottom() + 2, right - left, subtitleMetrics.height());
  painter.setFont(subtitleFont);
  painter.setPen(Palette::inkTertiary(appearance));
  painter.drawText(subtitleBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   subtitleMetrics.elidedText(QString::fromStdString(model_.subtitle), Qt::ElideRight,
                                              subtitleBox.width()));
  if (model_.selected) paintSymbol(painter, Symbol::checkmark, QRectF(end - kCheck, middle - 6, 12, 12), accent);
  paintFocusRing(painter, *this, rect(), 6);
}

DeviceList::DeviceList(QWidget* parent) : QWidget(parent) {
  layout_ = new QVBoxLayout(this);
  layout_->setContentsMargins(0, 0, 0, 0);
  layout_->setSpacing(0);
}

void DeviceList::setRows(const std::vector<DeviceRowModel>& rows) {
  if (shown_ && rows == *shown_) return;
  shown_ = rows;
  rows_.clear();
  // Later, as the click that led here may still be running in one of these rows.
  while (QLayoutItem* item = layout_->takeAt(0)) {
    item->widget()->hide();
    item->widget()->deleteLater();
    delete item;
  }
  for (const DeviceRowModel& model : rows) {
    if (!rows_.empty()) layout_->addWidget(new Hairline(Qt::Horizontal));
    auto* row = new DeviceRow;
    row->setModel(model);
    connect(row, &QAbstractButton::clicked, this, [this, row] { emit chosen(row->model().id); });
    layout_->addWidget(row);
    rows_.push_back(row);
  }
}

}  // namespace kovali
