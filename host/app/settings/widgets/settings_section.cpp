#include "app/settings/widgets/settings_section.h"

#include <QPainter>
#include <QVBoxLayout>

#include "app/look/palette.h"
#include "app/look/text/eyebrow.h"

namespace kovali {

class SettingsSection::Box final : public QWidget {
 public:
  explicit Box(QWidget* parent) : QWidget(parent) {}

 protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Palette::surface(appearanceOf(*this)));
    painter.drawRoundedRect(QRectF(rect()), 14, 14);
  }
};

SettingsSection::SettingsSection(const QString& title, QWidget* content, QWidget* parent)
    : QWidget(parent), title_(title) {
  box_ = new Box(this);
  auto* inside = new QVBoxLayout(box_);
  inside->setContentsMargins(16, 16, 16, 16);
  inside->setSpacing(12);
  inside->addWidget(content);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(12);
  column->addWidget(new Eyebrow(title, Palette::inkTertiary(appearanceOf(*this)), this));
  column->addWidget(box_);
}

}  // namespace kovali
