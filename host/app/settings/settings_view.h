#pragma once

#include <QScrollArea>

namespace kovali {

class AdvancedSettings;
class DJPIN;
class GeneralSettings;
class AirPlaySettings;
class HEOSSection;
class OutputSettings;
class PartyModeSettings;
class Preferences;
class Scheduler;
class SessionStore;
class SourceSettings;

/// The settings screen of the main window: boxed sections in two columns of equal width on the
/// paper colour, scrolling when the window is short. The left column holds "General", "Party
/// Mode" and "Advanced"; the right one "Source", "Sound output", "AirPlay" and "HEOS".
class SettingsView final : public QScrollArea {
  Q_OBJECT

 public:
  /// What the screen acts on; every one must outlive it.
  struct Services {
    SessionStore& store;
    DJPIN& djPIN;
    Preferences& preferences;
    Scheduler& scheduler;  // turns the spinners
  };

  explicit SettingsView(Services services, QWidget* parent = nullptr);

  GeneralSettings& general() const { return *general_; }
  PartyModeSettings& partyMode() const { return *partyMode_; }
  AdvancedSettings& advanced() const { return *advanced_; }
  SourceSettings& source() const { return *source_; }
  OutputSettings& output() const { return *output_; }
  AirPlaySettings& airPlay() const { return *airPlay_; }
  HEOSSection& heos() const { return *heos_; }

 private:
  GeneralSettings* general_ = nullptr;
  PartyModeSettings* partyMode_ = nullptr;
  AdvancedSettings* advanced_ = nullptr;
  SourceSettings* source_ = nullptr;
  OutputSettings* output_ = nullptr;
  AirPlaySettings* airPlay_ = nullptr;
  HEOSSection* heos_ = nullptr;
};

}  // namespace kovali
