#include "app/console/library/sidebar.h"

#include <QPainter>
#include <QVBoxLayout>

#include "app/console/library/playlists_section.h"
#include "app/console/library/search_popover.h"
#include "app/look/controls/focus_ring.h"
#include "app/look/palette.h"
#include "app/look/symbols/symbol.h"
#include "app/look/system_font.h"
#include "app/look/text/eyebrow.h"
#include "session/store/session_store.h"

namespace kovali {

namespace {

constexpr int kPaddingX = 12;
constexpr int kPaddingY = 9;
constexpr int kGlyph = 13;
constexpr int kSpacing = 8;
// The host plays from the music library; Ctrl is the shortcut's modifier here. The title is short
// enough to stand beside the shortcut in the sidebar's width.
const char* const kTitle = "Search the library";
const char* const kShortcutText = "Ctrl+F";

}  // namespace

SearchButton::SearchButton(QWidget* parent) : QAbstractButton(parent) {
  setObjectName(QStringLiteral("searchButton"));
  setText(QString::fromLatin1(kTitle));
  setFont(systemFont(13));
  setShortcut(QKeySequence(Qt::CTRL | Qt::Key_F));
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

QSize SearchButton::sizeHint() const {
  const QFontMetrics metrics(font());
  const int content = kGlyph + kSpacing + metrics.horizontalAdvance(text()) + kSpacing +
                      metrics.horizontalAdvance(QString::fromLatin1(kShortcutText));
  return {content + 2 * kPaddingX, metrics.height() + 2 * kPaddingY};
}

void SearchButton::paintEvent(QPaintEvent*) {
  const Appearance appearance = appearanceOf(*this);
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  if (!isEnabled()) painter.setOpacity(0.45);
  if (isDown()) painter.setOpacity(0.7);
  painter.setPen(Qt::NoPen);
  painter.setBrush(Palette::surface(appearance));
  painter.drawRoundedRect(QRectF(rect()), 10, 10);

  const QRect inner = rect().adjusted(kPaddingX, kPaddingY, -kPaddingX, -kPaddingY);
  const QColor color = Palette::inkSecondary(appearance);
  paintSymbol(painter, Symbol::magnifyingGlass, QRectF(inner.left(), (height() - kGlyph) / 2.0, kGlyph, kGlyph), color);
  const QString shortcutText = QString::fromLatin1(kShortcutText);
  const int shortcutWidth = fontMetrics().horizontalAdvance(shortcutText);
  painter.setPen(Palette::inkTertiary(appearance));
  painter.drawText(inner, Qt::AlignRight | Qt::AlignVCenter | Qt::TextSingleLine, shortcutText);
  const QRect title = inner.adjusted(kGlyph + kSpacing, 0, -(shortcutWidth + kSpacing), 0);
  painter.setPen(color);
  painter.drawText(title, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   fontMetrics().elidedText(text(), Qt::ElideRight, title.width()));
  paintFocusRing(painter, *this, rect(), 10);
}

Sidebar::Sidebar(SessionStore& store, Scheduler& scheduler, ArtworkLoader& loader, QWidget* parent)
    : QWidget(parent), store_(store), scheduler_(scheduler), loader_(loader) {
  setObjectName(QStringLiteral("sidebar"));
  search_ = new SearchButton;
  connect(search_, &QAbstractButton::clicked, this, &Sidebar::openSearch);
  playlists_ = new PlaylistsSection(store);

  auto* searchBlock = new QWidget;
  auto* searchLines = new QVBoxLayout(searchBlock);
  searchLines->setContentsMargins(16, 16, 16, 20);
  searchLines->setSpacing(20);
  searchLines->addWidget(new Eyebrow(QStringLiteral("Music"), Palette::inkTertiary(appearanceOf(*this))));
  searchLines->addWidget(search_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(searchBlock);
  layout->addWidget(playlists_, 1);

  connect(&store_.music(), &MusicService::availabilityChanged, this, &Sidebar::followAvailability);
  followAvailability();
}

void Sidebar::followAvailability() {
  search_->setEnabled(std::holds_alternative<MusicService::Ready>(store_.music().availability()));
}

void Sidebar::openSearch() {
  if (popover_) return;
  popover_ = new SearchPopover(store_, scheduler_, loader_, this);
  popover_->adjustSize();
  // Beside the button's trailing edge, as a popover with its arrow there.
  const QPoint corner = search_->mapToGlobal(QPoint(search_->width() + 8, -14));
  popover_->move(corner);
  popover_->show();
}

}  // namespace kovali
