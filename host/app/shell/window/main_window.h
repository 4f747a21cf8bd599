#pragma once

#include <QMainWindow>
#include <functional>

#include "app/settings/settings_view.h"
#include "app/shell/window/host_view_mode.h"

class QStackedWidget;

namespace kovali {

class ArtworkLoader;
class ConsoleView;
class PartyView;
class Scheduler;
class SessionStore;
class ViewModePreference;
class ViewPicker;

/// The window "Kovali": the party screen, the DJ controls or the settings as the view mode says,
/// the "View" picker at the top centre, and the menus File, Party and Debug. Closing it hides
/// it; the host runs on.
class MainWindow final : public QMainWindow {
  Q_OBJECT

 public:
  /// What the menus ask of the application.
  struct Commands {
    std::function<void(HostViewMode)> show;
    std::function<void()> openEngineLog;
    std::function<void()> quit;
  };

  static constexpr QSize defaultSize{1260, 760};
  static constexpr QSize minimumContentSize{1100, 640};

  MainWindow(SessionStore& store, ViewModePreference& viewMode, Scheduler& scheduler, ArtworkLoader& artwork,
             SettingsView::Services settings, Commands commands, QWidget* parent = nullptr);
  ~MainWindow() override;

  PartyView& partyView() const { return *partyView_; }
  SettingsView& settingsView() const { return *settingsView_; }
  ViewPicker& picker() const { return *picker_; }
  /// The view the mode shows.
  QWidget* currentView() const;
  /// Whether the bar behind the picker is drawn; in the party view the picker floats on it.
  bool showsToolbarBackground() const;

 signals:
  /// The window was shown: at launch, and each time it opens again after it was closed.
  void appeared();

 protected:
  bool event(QEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  class Frame;

  void buildMenus(Commands commands);
  void followViewMode();
  void refreshParty();

  SessionStore& store_;
  ViewModePreference& viewMode_;
  Frame* frame_ = nullptr;
  QStackedWidget* views_ = nullptr;
  PartyView* partyView_ = nullptr;
  ConsoleView* consoleView_ = nullptr;
  SettingsView* settingsView_ = nullptr;
  ViewPicker* picker_ = nullptr;
};

}  // namespace kovali
