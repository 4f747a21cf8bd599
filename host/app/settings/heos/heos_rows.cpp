#include "app/settings/heos/heos_rows.h"

#include <QAction>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/look/controls/focus_ring.h"
#include "app/look/palette.h"
#include "app/look/symbols/symbol.h"
#include "app/look/system_font.h"
#include "app/look/text/plain_label.h"
#include "app/settings/sound/volume_control.h"

namespace kovali {

namespace {

constexpr int kGlyph = 11;
constexpr int kGlyphSpacing = 6;

}  // namespace

ZoneRow::ZoneRow(QWidget* parent) : QWidget(parent) {
  included_ = new QCheckBox;
  included_->setFont(systemFont(13));
  connect(included_, &QCheckBox::clicked, this, [this](bool on) {
    // The controller's choice decides what the box shows.
    included_->setChecked(!on);
    emit includedChosen(zone_.id, on);
  });
  volume_ = new VolumeControl;
  connect(volume_, &VolumeControl::levelChosen, this, [this](int level) { emit levelChosen(zone_.id, level); });
  auto* row = new QHBoxLayout(this);
  row->setContentsMargins(0, 0, 0, 0);
  row->addWidget(included_, 1);
  row->addWidget(volume_);
}

void ZoneRow::setModel(HEOSSectionModel::Zone zone) {
  zone_ = std::move(zone);
  included_->setText(QString::fromStdString(zone_.name));
  included_->setChecked(zone_.included);
  volume_->setVisible(zone_.volume.has_value());
  if (zone_.volume) volume_->setLevel(static_cast<int>(*zone_.volume));
}

PresetRow::PresetRow(QWidget* parent) : QAbstractButton(parent) {
  setFont(systemFont(13));
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
  delete_ = new QAction(this);
  connect(delete_, &QAction::triggered, this, [this] { emit deleteChosen(preset_.id); });
  addAction(delete_);
  setContextMenuPolicy(Qt::ActionsContextMenu);
}

void PresetRow::setModel(HEOSSectionModel::PresetRow preset) {
  preset_ = std::move(preset);
  setText(QString::fromStdString(preset_.name));
  setToolTip(text());
  delete_->setText(QStringLiteral("Delete \u201C%1\u201D").arg(text()));
  update();
}

QSize PresetRow::sizeHint() const {
  const QSize content(kGlyph + kGlyphSpacing + fontMetrics().horizontalAdvance(text()), fontMetrics().height() + 4);
  return content.grownBy(QMargins(focusRingRoom, focusRingRoom, focusRingRoom, focusRingRoom));
}

void PresetRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  paintFocusRing(painter, *this, rect(), 6);
  if (isDown()) painter.setOpacity(0.6);
  const QColor color = Palette::orange();
  const QRect content = rect().adjusted(focusRingRoom, focusRingRoom, -focusRingRoom, -focusRingRoom);
  paintSymbol(painter, Symbol::hifiSpeaker2,
              QRectF(content.left(), content.top() + (content.height() - kGlyph) / 2.0, kGlyph, kGlyph), color);
  const QRect textBox = content.adjusted(kGlyph + kGlyphSpacing, 0, 0, 0);
  painter.setPen(color);
  painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   fontMetrics().elidedText(text(), Qt::ElideRight, textBox.width()));
}

SavePresetDialog::SavePresetDialog(QWidget* parent) : QDialog(parent) {
  setWindowTitle(QStringLiteral("Save as preset"));
  auto* title = new PlainLabel(QStringLiteral("Save as preset"), systemFont(13, QFont::DemiBold),
                               Palette::ink(appearanceOf(*this)));
  auto* message = new PlainLabel(
      QStringLiteral("Saves the input, the zones, each zone's volume and All zones. A preset with the same name is "
                     "replaced."),
      systemFont(12), Palette::ink(appearanceOf(*this)));
  message->setWordWrap(true);
  name_ = new QLineEdit;
  name_->setPlaceholderText(QStringLiteral("Name"));
  name_->setTextMargins(focusRingRoom, 0, focusRingRoom, 0);  // the text stays clear of the focus ring
  auto* buttons = new QDialogButtonBox;
  save_ = buttons->addButton(QStringLiteral("Save"), QDialogButtonBox::AcceptRole);
  buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
  save_->setEnabled(false);
  connect(name_, &QLineEdit::textChanged, this,
          [this](const QString& text) { save_->setEnabled(presetNameIsValid(text.toStdString())); });
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (!save_->isEnabled()) return;
    emit saved(name_->text().toStdString());
    accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title);
  layout->addWidget(message);
  layout->addWidget(name_);
  layout->addWidget(buttons);
  setFixedWidth(320);
}

}  // namespace kovali
