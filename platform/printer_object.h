#pragma once
// What one printer of the list keeps between calls, as the classic printer
// object does: the drawing settings a script makes and the current position,
// and what choosing the printer, turning the page and ending the document
// reset. Every print surface keeps its settings in one of these, so the
// rules tests run against are the rules paper gets.
//
//   Select   a chosen printer starts from the defaults below, even when it was
//            chosen before: a job printed and then copied to PDF on one
//            printer draws the same both times, as it does on two printers.
//   NewPage  the position goes back to the top-left corner; settings stay.
//   EndDoc   the same: the next document starts at the top-left corner.
//   A document's start (its first output) resets nothing: what was set
//   before it, also on the printer's previous document, applies to it.
// Page settings (orientation, paper, copies) are the surface's own; none of
// these resets them.
#include <QString>
#include <cstdint>

namespace zarn {

struct PrinterObject {
  QString fontName = QStringLiteral("Arial");
  float fontSize = 10;  // points
  bool bold = false, italic = false;
  uint32_t foreColor = 0, fillColor = 0;
  int16_t drawWidth = 1;  // device dots
  int16_t drawStyle = 0;  // solid
  int16_t fillStyle = 1;  // transparent
  float x = 0, y = 0;     // CurrentX, CurrentY, twips

  void Selected() { *this = PrinterObject{}; }
  void PageTurned() { x = y = 0; }
  void DocumentEnded() { x = y = 0; }
};

}  // namespace zarn
