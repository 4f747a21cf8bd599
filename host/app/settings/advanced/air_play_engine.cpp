#include "app/settings/advanced/air_play_engine.h"

namespace kovali {

AirPlayEngine storedAirPlayEngine(const Preferences& preferences) {
  return preferences.enumValue<AirPlayEngine>(QString::fromLatin1(airPlayEngineKey)).value_or(AirPlayEngine::native);
}

void storeAirPlayEngine(Preferences& preferences, AirPlayEngine engine) {
  preferences.setEnumValue(QString::fromLatin1(airPlayEngineKey), engine);
}

std::string airPlayEngineTitle(AirPlayEngine engine) {
  return engine == AirPlayEngine::native ? "Native AirPlay" : "Experimental AirPlay";
}

std::string airPlayEngineCaption(AirPlayEngine engine) {
  if (engine == AirPlayEngine::native) return "The sound server sends the music to the AirPlay speakers you pick.";
  return "Kovali sends the music to the speakers itself. Coming in a later version: native AirPlay is used until then.";
}

}  // namespace kovali
