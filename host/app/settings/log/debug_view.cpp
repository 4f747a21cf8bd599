#include "app/settings/log/debug_view.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QVBoxLayout>

#include "app/look/system_font.h"
#include "app/settings/log/engine_log_model.h"
#include "app/settings/log/engine_log_text.h"
#include "music/player_engine.h"
#include "session/store/session_store.h"

namespace kovali {

namespace {

QString strategyTitle(PlayerEngine::Strategy strategy) {
  const std::string_view raw = vinaro::rawValue(strategy);
  return QString::fromUtf8(raw.data(), static_cast<qsizetype>(raw.size()));
}

}  // namespace

DebugView::DebugView(SessionStore& store, QWidget* parent) : QWidget(parent), store_(store) {
  setMinimumSize(640, 320);
  PlayerEngine& player = store_.player();

  strategy_ = new QComboBox(this);
  strategy_->setAccessibleName(QStringLiteral("Strategy"));
  strategy_->setFixedWidth(200);
  for (const auto strategy : vinaro::allCases<PlayerEngine::Strategy>()) {
    strategy_->addItem(strategyTitle(strategy), QVariant::fromValue(strategy));
  }
  status_ = new QLabel(this);
  status_->setTextFormat(Qt::PlainText);
  status_->setFont(monospacedSystemFont(11));
  status_->setForegroundRole(QPalette::PlaceholderText);

  model_ = new EngineLogModel(player, QLocale(), this);
  log_ = new QListView(this);
  log_->setModel(model_);
  log_->setUniformItemSizes(true);
  log_->setFont(monospacedSystemFont(11));
  log_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  log_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  log_->setSpacing(1);
  auto* copy = new QAction(QStringLiteral("Copy"), log_);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetShortcut);
  log_->addAction(copy);
  log_->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(copy, &QAction::triggered, this, &DebugView::copySelectedLines);

  auto* top = new QHBoxLayout;
  top->addWidget(new QLabel(QStringLiteral("Player strategy"), this));
  top->addWidget(strategy_);
  top->addStretch(1);
  top->addWidget(status_);
  auto* column = new QVBoxLayout(this);
  column->setSpacing(10);
  column->addLayout(top);
  column->addWidget(log_, 1);

  connect(strategy_, &QComboBox::activated, this, [this, &player](int index) {
    player.setStrategy(strategy_->itemData(index).value<PlayerEngine::Strategy>());
  });
  connect(&player, &PlayerEngine::strategyChanged, this, &DebugView::followStrategy);
  for (const auto signal : {&PlayerEngine::statusChanged, &PlayerEngine::playbackTimeChanged,
                            &PlayerEngine::currentSongIDChanged, &PlayerEngine::nextSongIDChanged}) {
    connect(&player, signal, this, &DebugView::refreshStatus);
  }
  connect(&store_, &SessionStore::stateChanged, this, &DebugView::refreshStatus);
  connect(&player, &PlayerEngine::logChanged, this, &DebugView::followNewLines);
  if (!player.log().empty()) lastLineID_ = player.log().back().id;
  followStrategy();
  refreshStatus();
}

QString DebugView::statusLine() const { return status_->text(); }

void DebugView::followStrategy() {
  strategy_->setCurrentIndex(strategy_->findData(QVariant::fromValue(store_.player().strategy())));
}

void DebugView::refreshStatus() {
  const PlayerEngine& player = store_.player();
  status_->setText(QString::fromStdString(engineStatusLine(
      player.status(), player.playbackTime(), player.currentSongID(), player.nextSongID(), store_.state().revision)));
}

void DebugView::followNewLines() {
  // Followed by the newest line's id: once the log is full, its length no longer changes.
  const auto& log = store_.player().log();
  if (log.empty() || log.back().id == lastLineID_) return;
  lastLineID_ = log.back().id;
  log_->scrollTo(model_->index(model_->rowCount() - 1), QAbstractItemView::PositionAtBottom);
}

void DebugView::copySelectedLines() {
  QModelIndexList rows = log_->selectionModel()->selectedRows();
  if (rows.isEmpty()) return;
  std::sort(rows.begin(), rows.end());
  QStringList texts;
  for (const QModelIndex& row : rows) texts << row.data().toString();
  QGuiApplication::clipboard()->setText(texts.join(u'\n'));
}

}  // namespace kovali
