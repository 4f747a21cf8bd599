#include "app/shell/window/main_window.h"

#include <QHBoxLayout>
#include <QMenuBar>
#include <QShowEvent>
#include <QStackedWidget>

#include "app/console/console_view.h"
#include "app/look/focused_control_keys.h"
#include "app/look/frame_refresh.h"
#include "app/menus/party_menu.h"
#include "app/party/party_view.h"
#include "app/shell/window/view_mode_preference.h"
#include "app/shell/window/view_picker.h"
#include "session/store/session_store.h"

namespace kovali {

/// The window's content: the views, and over their top edge the bar with the picker. The bar
/// takes room of its own and has a background, except over the party screen, which runs to the
/// top of the window with the picker floating on it.
class MainWindow::Frame final : public QWidget {
 public:
  Frame(QStackedWidget* views, ViewPicker* picker) : views_(views) {
    views_->setParent(this);
    bar_ = new QWidget(this);
    bar_->setBackgroundRole(QPalette::Window);
    auto* layout = new QHBoxLayout(bar_);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addStretch();
    layout->addWidget(picker);
    layout->addStretch();
  }

  void setFloating(bool floating) {
    floating_ = floating;
    bar_->setAutoFillBackground(!floating);
    arrange();
  }
  bool hasBarBackground() const { return bar_->autoFillBackground(); }
  /// The room the window asks for. A hint, not a floor: given less anyway (a window manager may),
  /// the pages shrink with the window rather than run off its bottom edge out of sight.
  QSize minimumSizeHint() const override { return minimumContentSize; }

 protected:
  void resizeEvent(QResizeEvent*) override { arrange(); }
  // A press that no control took, on the bar behind the picker or a page's background, takes the
  // focus from the page's controls to the page, where Space plays and pauses.
  void mousePressEvent(QMouseEvent* event) override {
    views_->currentWidget()->setFocus(Qt::MouseFocusReason);
    QWidget::mousePressEvent(event);
  }

 private:
  void arrange() {
    const int barHeight = bar_->sizeHint().height();
    const int top = floating_ ? 0 : barHeight;
    views_->setGeometry(0, top, width(), height() - top);
    bar_->setGeometry(0, 0, width(), barHeight);
    bar_->raise();
  }

  QStackedWidget* views_;
  QWidget* bar_ = nullptr;
  bool floating_ = true;
};

MainWindow::MainWindow(SessionStore& store, ViewModePreference& viewMode, Scheduler& scheduler, ArtworkLoader& artwork,
                       SettingsView::Services settings, Commands commands, QWidget* parent)
    : QMainWindow(parent), store_(store), viewMode_(viewMode) {
  setWindowTitle(QStringLiteral("Kovali"));
  resize(defaultSize);

  views_ = new QStackedWidget;
  partyView_ = new PartyView(scheduler, artwork);
  views_->insertWidget(static_cast<int>(HostViewMode::party), partyView_);
  consoleView_ = new ConsoleView(store_, scheduler, artwork);
  views_->insertWidget(static_cast<int>(HostViewMode::console), consoleView_);
  settingsView_ = new SettingsView(settings);
  views_->insertWidget(static_cast<int>(HostViewMode::settings), settingsView_);
  picker_ = new ViewPicker(viewMode_);
  frame_ = new Frame(views_, picker_);
  setCentralWidget(frame_);

  buildMenus(std::move(commands));

  connect(&viewMode_, &ViewModePreference::modeChanged, this, &MainWindow::followViewMode);
  followViewMode();

  auto* partyChanged = new FrameRefresh(scheduler, [this] { refreshParty(); }, this);
  connect(&store_, &SessionStore::stateChanged, partyChanged, &FrameRefresh::request);
  connect(&store_, &SessionStore::participantsChanged, partyChanged, &FrameRefresh::request);
  connect(&store_.server(), &HostServer::statusChanged, this, &MainWindow::refreshParty);
  connect(&store_.server(), &HostServer::advertisedNameChanged, this, &MainWindow::refreshParty);
  refreshParty();
}

MainWindow::~MainWindow() = default;

QWidget* MainWindow::currentView() const { return views_->currentWidget(); }

bool MainWindow::showsToolbarBackground() const { return frame_->hasBarBackground(); }

bool MainWindow::event(QEvent* event) {
  // Over the whole window, the picker above the pages included.
  return keepSpaceForFocusedControl(*event, *this) || QMainWindow::event(event);
}

void MainWindow::showEvent(QShowEvent* event) {
  QMainWindow::showEvent(event);
  // A window coming back from the taskbar is no new appearance.
  if (!event->spontaneous()) emit appeared();
}

void MainWindow::buildMenus(Commands commands) {
  QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
  QAction* quit = file->addAction(QStringLiteral("Quit Kovali"));
  quit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
  connect(quit, &QAction::triggered, this, [run = std::move(commands.quit)] { run(); });

  menuBar()->addMenu(new PartyMenu(store_, std::move(commands.show), this));

  QMenu* debug = menuBar()->addMenu(QStringLiteral("Debug"));
  QAction* engineLog = debug->addAction(QStringLiteral("Engine Log"));
  // Ctrl+Alt+L locks the screen on the common Linux desktops.
  engineLog->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_L));
  connect(engineLog, &QAction::triggered, this, [run = std::move(commands.openEngineLog)] { run(); });
}

void MainWindow::followViewMode() {
  const HostViewMode mode = viewMode_.mode();
  if (mode == HostViewMode::console) consoleView_->catchUp();
  views_->setCurrentIndex(static_cast<int>(mode));
  // The page takes the focus itself, not its first control: Space plays and pauses there until Tab
  // puts the focus on a control.
  views_->currentWidget()->setFocus();
  frame_->setFloating(mode == HostViewMode::party);
}

void MainWindow::refreshParty() {
  partyView_->setSnapshot(PartySnapshot::of(store_.sharedState(), store_.server(), store_.participants().size()));
}

}  // namespace kovali
