#include "app/console/library/playlists_section.h"

#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "app/console/library/collection_adding.h"
#include "app/look/controls/focus_ring.h"
#include "app/look/hairline.h"
#include "app/look/keyed_widgets.h"
#include "app/look/palette.h"
#include "app/look/symbols/symbol.h"
#include "app/look/system_font.h"
#include "app/look/text/eyebrow.h"
#include "app/look/text/plain_label.h"
#include "session/store/session_store.h"

namespace kovali {

namespace {

constexpr int kGlyph = 11;
constexpr int kGlyphSpacing = 6;

QString toQString(const std::string& value) { return QString::fromStdString(value); }

}  // namespace

std::string PlaylistsState::placeholder() const {
  if (message) return *message;
  // The host plays from the music library, so the text names it.
  return hasLoaded ? "No playlists in the music library." : "Loading playlists\u2026";
}

std::optional<std::string> PlaylistsState::footerNotice() const {
  if (refs.empty()) return std::nullopt;
  return message;
}

std::string addPlaylistTitle(const std::string& name) { return "Add \u201C" + name + "\u201D to the queue?"; }

PlaylistRow::PlaylistRow(QWidget* parent) : QAbstractButton(parent) {
  setFont(systemFont(13));
  setCursor(Qt::PointingHandCursor);
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void PlaylistRow::setModel(const vinaro::PlaylistRef& ref) {
  ref_ = ref;
  setText(toQString(ref.name));
  setToolTip(toQString(ref.name));
  update();
}

QSize PlaylistRow::sizeHint() const {
  return {kGlyph + kGlyphSpacing + fontMetrics().horizontalAdvance(text()), fontMetrics().height() + 6};
}

QSize PlaylistRow::minimumSizeHint() const { return {kGlyph + kGlyphSpacing, fontMetrics().height() + 6}; }

void PlaylistRow::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  if (isDown()) painter.setOpacity(0.6);
  const QColor color = Palette::orange();
  paintSymbol(painter, Symbol::musicNoteList, QRectF(0, (height() - kGlyph) / 2.0, kGlyph, kGlyph), color);
  const QRect textBox(kGlyph + kGlyphSpacing, 0, width() - kGlyph - kGlyphSpacing, height());
  painter.setPen(color);
  painter.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine,
                   fontMetrics().elidedText(text(), Qt::ElideRight, textBox.width()));
  paintFocusRing(painter, *this, rect(), 5);
}

PlaylistsSection::PlaylistsSection(SessionStore& store, QWidget* parent) : QWidget(parent), store_(store) {
  const Appearance appearance = appearanceOf(*this);
  auto* title = new Eyebrow(QStringLiteral("Playlists"), Palette::inkTertiary(appearance));
  title->setContentsMargins(16, 0, 16, 8);

  auto* content = new QWidget;
  content->setObjectName(QStringLiteral("playlistRows"));
  list_ = new QVBoxLayout(content);
  list_->setContentsMargins(16, 0, 16, 12);
  list_->setSpacing(2);
  placeholder_ = new PlainLabel(QString(), systemFont(12), Palette::inkSecondary(appearance));
  placeholder_->setObjectName(QStringLiteral("playlistsPlaceholder"));
  placeholder_->setWordWrap(true);
  list_->addWidget(placeholder_);
  list_->addStretch(1);
  auto* scroll = new QScrollArea;
  scroll->setWidget(content);
  scroll->setWidgetResizable(true);
  scroll->setFrameShape(QFrame::NoFrame);
  // Tab walks the controls inside, which the area scrolls to; the area itself draws no focus.
  scroll->setFocusPolicy(Qt::NoFocus);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->viewport()->setAutoFillBackground(false);
  content->setAutoFillBackground(false);

  notice_ = new PlainLabel(QString(), systemFont(11), Palette::teal());
  notice_->setObjectName(QStringLiteral("playlistsNotice"));
  notice_->setWordWrap(true);
  notice_->setMaximumHeight(2 * notice_->fontMetrics().lineSpacing() + 2);
  auto* hint = new PlainLabel(QStringLiteral("Use your iPhone to save the queue to a playlist"), systemFont(12),
                              Palette::inkSecondary(appearance));
  hint->setWordWrap(true);
  auto* footer = new QWidget;
  auto* footerLines = new QVBoxLayout(footer);
  footerLines->setContentsMargins(16, 16, 16, 16);
  footerLines->setSpacing(6);
  footerLines->addWidget(notice_);
  footerLines->addWidget(hint);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(title);
  layout->addWidget(scroll, 1);
  layout->addWidget(new Hairline(Qt::Horizontal));
  layout->addWidget(footer);

  wasReady_ = musicIsReady();
  connect(&store_.music(), &MusicService::availabilityChanged, this, &PlaylistsSection::readinessChanged);
  setState({});
}

PlaylistsSection::~PlaylistsSection() = default;

bool PlaylistsSection::musicIsReady() const {
  return std::holds_alternative<MusicService::Ready>(store_.music().availability());
}

void PlaylistsSection::readinessChanged() {
  const bool ready = musicIsReady();
  if (ready && !wasReady_) (void)load();
  wasReady_ = ready;
}

void PlaylistsSection::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  (void)load();
  // Ready already at the first showing counts as becoming ready, so two loads run then.
  if (!shownBefore_ && musicIsReady()) (void)load();
  shownBefore_ = true;
}

QCoro::Task<> PlaylistsSection::load() {
  const QPointer<PlaylistsSection> self(this);
  auto found = co_await store_.playlists(vinaro::PlaylistRef::Source::library);
  if (!self) co_return;
  if (found) {
    setState({std::move(found).value(), true, std::nullopt});
  } else {
    setState({{}, true, found.error().message});
  }
}

void PlaylistsSection::confirmAdd(const vinaro::PlaylistRef& ref) {
  if (confirmation_) return;
  confirmation_ = new QMessageBox(QMessageBox::Question, toQString(addPlaylistTitle(ref.name)),
                                  toQString(addPlaylistTitle(ref.name)), QMessageBox::NoButton, this);
  confirmation_->setObjectName(QStringLiteral("addPlaylistConfirmation"));
  confirmation_->setTextFormat(Qt::PlainText);
  QPushButton* confirm = confirmation_->addButton(QStringLiteral("Add to queue"), QMessageBox::AcceptRole);
  confirmation_->addButton(QStringLiteral("Cancel"), QMessageBox::RejectRole);
  confirmation_->setDefaultButton(confirm);
  confirmation_->setAttribute(Qt::WA_DeleteOnClose);
  connect(confirmation_, &QMessageBox::buttonClicked, this, [this, confirm, ref](QAbstractButton* chosen) {
    if (chosen == confirm) (void)add(ref);
  });
  confirmation_->open();
}

QCoro::Task<> PlaylistsSection::add(vinaro::PlaylistRef ref) {
  const QPointer<PlaylistsSection> self(this);
  const auto failure = co_await addCollection(store_, ref);
  if (!self) co_return;
  PlaylistsState next = state_;
  next.message = failure ? failure->message : "Added \u201C" + ref.name + "\u201D.";
  setState(std::move(next));
}

void PlaylistsSection::setState(PlaylistsState state) {
  state_ = std::move(state);
  reconcileWidgets(rows_, state_.refs, *list_, 0, [this] {
    auto* row = new PlaylistRow;
    connect(row, &QAbstractButton::clicked, this, [this, row] { confirmAdd(row->model()); });
    return row;
  });
  placeholder_->setText(toQString(state_.placeholder()));
  placeholder_->setVisible(state_.refs.empty());
  const auto notice = state_.footerNotice();
  notice_->setText(toQString(notice.value_or(std::string())));
  notice_->setVisible(notice.has_value());
}

}  // namespace kovali
