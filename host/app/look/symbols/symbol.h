#pragma once

#include <QColor>
#include <QRectF>

class QPainter;

namespace kovali {

/// The small pictures the screens use, drawn by us in vector shapes.
enum class Symbol {
  ticketFill,
  heartFill,
  starFill,
  crownFill,
  waveform,
  person2,
  person3,
  handRaised,
  exclamationCircle,
  // The console's controls and marks.
  playFill,
  pauseFill,
  forwardEndFill,
  clock,
  trash,
  checkmarkCircleFill,
  arrowUpToLine,
  xmark,
  headphones,
  person,
  squareStack,
  musicNoteList,
  handThumbsUp,
  magnifyingGlass,
  // The settings' devices and marks.
  musicNote,
  mic,
  laptopComputer,
  airplayAudio,
  wave3Right,
  cableConnector,
  display,
  speakerWave2,
  checkmark,
  hifiSpeaker2,
};

/// Every symbol, in declaration order.
inline constexpr Symbol allSymbols[] = {
    Symbol::ticketFill,    Symbol::heartFill,       Symbol::starFill,
    Symbol::crownFill,     Symbol::waveform,        Symbol::person2,
    Symbol::person3,       Symbol::handRaised,      Symbol::exclamationCircle,
    Symbol::playFill,      Symbol::pauseFill,       Symbol::forwardEndFill,
    Symbol::clock,         Symbol::trash,           Symbol::checkmarkCircleFill,
    Symbol::arrowUpToLine, Symbol::xmark,           Symbol::headphones,
    Symbol::person,        Symbol::squareStack,     Symbol::musicNoteList,
    Symbol::handThumbsUp,  Symbol::magnifyingGlass, Symbol::musicNote,
    Symbol::mic,           Symbol::laptopComputer,  Symbol::airplayAudio,
    Symbol::wave3Right,    Symbol::cableConnector,  Symbol::display,
    Symbol::speakerWave2,  Symbol::checkmark,       Symbol::hifiSpeaker2,
};

/// Draws `symbol` in `color`, centred in `box` and as large as fits it.
void paintSymbol(QPainter& painter, Symbol symbol, const QRectF& box, const QColor& color);

}  // namespace kovali
