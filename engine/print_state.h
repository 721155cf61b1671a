#pragma once
// The engine's state for the whole run: margins, origin, last position, page
// bottom, PDF names and switches, saved printer names. Every field starts at
// zero or empty. Positions are twips.
#include <QString>
#include <QStringList>
#include <cstdint>

namespace zarn {

struct PrintState {
  QString LastDeviceName;   // printer current when SetPrinter last switched
  QString DeviceBeforePdf;  // printer current before the PDF writer was selected
  int32_t OriginX = 0;
  int32_t OriginY = 0;
  int32_t MarginTop = 0;
  int32_t MarginLeft = 0;
  int32_t LastX = 0;        // X for a negative X, without margin
  int32_t LastY = 0;        // Y for a negative Y, and MoveXText's Y
  int32_t PageBottom = 0;   // SFYR turns the page when LastY passes it
  QString PdfFolder;        // base folder of PDF output (settings line 2)
  int16_t PdfCopy = 0;      // -1: make a PDF copy after the printer run
  QString PdfFileName;      // without ".pdf"
  QString PdfSubFolder;     // optional folder below the day folder
  QString PdfStampedName;   // the last time-stamped name the program gave
  QString PdfClaimedFile;   // the file claimed for it, until the writer is off
  QString StatusAddress;    // STATUS: where the job's outcome is reported at its end
  QStringList UnswitchedDevices;  // DEV names that switched no printer
};

inline constexpr int16_t kTrue = -1;
inline constexpr int16_t kFalse = 0;

}  // namespace zarn
