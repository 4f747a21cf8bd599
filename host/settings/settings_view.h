#pragma once

#include <QScrollArea>

namespace kovali {

class AdvancedSettings;
class DJPIN;
class GeneralSettings;
class PartyModeSettings;
class Preferences;
class SessionStore;

/// The settings screen of the main window: boxed sections in two columns of equal width on the
/// paper colour, scrolling when the window is short. The left column holds "General", "Party
/// Mode" and "Advanced".
class SettingsView final : public QScrollArea {
  Q_OBJECT

 public:
  /// What the screen acts on; every one must outlive it.
  struct Services {
    SessionStore& store;
    DJPIN& djPIN;
    Preferences& preferences;
  };

  explicit SettingsView(Services services, QWidget* parent = nullptr);

  GeneralSettings& general() const { return *general_; }
  PartyModeSettings& partyMode() const { return *partyMode_; }
  AdvancedSettings& advanced() const { return *advanced_; }

 private:
  GeneralSettings* general_ = nullptr;
  PartyModeSettings* partyMode_ = nullptr;
  AdvancedSettings* advanced_ = nullptr;
};

}  // namespace kovali
