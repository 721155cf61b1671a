#pragma once
// Everything the print script engine works with for one run: its state, the
// platform parts it draws on and the commands that other subsystems provide.
// main() builds one Engine and hands it to the job flow; tests build one on
// fakes. The engine procedures take it as their first argument.
#include <QString>
#include <QList>
#include <QStringList>
#include <cstdint>
#include <functional>

#include "engine/print_state.h"
#include "engine/run_log.h"

namespace zarn {

class PrintSurface;
class PrinterList;
class PictureLoader;
class Dialogs;
class FileSystem;
class Clock;
class PdfWriterControl;

// Thrown when the user stops the job from a script's message box. Not an
// error: it passes every trap up to the job flow, which sends nothing more.
struct JobStopped {};

// Where a picture goes: DrawImage's x, y, width and height, in twips.
struct PicturePlace {
  int32_t x, y, width, height;
};

struct Engine {
  Engine(PrintSurface& surface, PrinterList& printers, RunLog& log, Dialogs& dialogs, FileSystem& files,
         PictureLoader& pictures, const Clock& clock)
      : surface(surface), printers(printers), log(log), dialogs(dialogs), files(files), pictures(pictures),
        clock(clock) {}

  PrintState state;
  PrintSurface& surface;
  PrinterList& printers;
  RunLog& log;
  Dialogs& dialogs;
  FileSystem& files;
  PictureLoader& pictures;
  const Clock& clock;
  QString programFolder;  // where "qrcode.bmp" is written
  int messageBoxes = 0;   // "MSGBOX" boxes shown in this run
  // The record of a repeat section being printed (from 1) and how many it
  // has; both 0 outside one.
  int record = 0;
  int records = 0;
  // Told when the job has moved on: each record and each new page. It
  // decides itself whether to show anything; empty: nothing is told.
  std::function<void()> Progress;

  // For the script check: the script line being run (from 1, of the script or
  // the record's template), and what it puts on the page. Drawn gets the area
  // in twips from the printable area's origin and, for text, the text;
  // PageBroken is told when the page bottom turns the page. Empty: no one asks.
  int line = 0;
  std::function<void(double x, double y, double width, double height, const QString& text)> Drawn;
  std::function<void()> PageBroken;

  // Provided by other subsystems and wired by app/wiring.cpp; an empty one
  // makes its command do nothing (and return 0).
  // web: DownloadFile (source address, target path) -> -1 / 0.
  std::function<int16_t(const QString&, const QString&)> DownloadFile;
  // web: the file a script's path names for reading ("DI"); empty: the path.
  std::function<QString(const QString&)> LocalPath;
  // forms: PaperSize (width cm, height cm, form name) -> -1 / 0.
  std::function<int16_t(int32_t&, int32_t&, QString&)> PaperSize;
  // forms: the same in tenths of a millimetre ("PSM", "RPTPSM").
  std::function<int16_t(int32_t&, int32_t&, QString&)> PaperSizeMm;
  // pdf: PDFONLY (file name, sub-folder) and PDFPrinterOff.
  std::function<void(const QString&, const QString&)> PDFONLY;
  std::function<void()> PDFPrinterOff;
  // pdf: a PDFNAME line run while the writer is on names its document, and
  // is told when a document may have ended (SD, SSD, ED).
  std::function<void(const QString&, const QString&)> PdfDocumentName;
  std::function<void()> DocumentEnded;
  // The PDF run going on, from switching the writer on until it is off.
  struct PdfRun {
    PdfWriterControl* writer = nullptr;  // none: no PDF run
    bool show = false;                   // its first document is shown
    QStringList before;                  // documents made before it began
    qsizetype endedAt = 0;               // documents listed when one last ended
    qsizetype moveAt = -1;               // the open document (in Documents()) ...
    QString moveTo;                      // ... and the name its file takes at its end
    QList<qsizetype> movedAt;            // documents whose files were moved ...
    QStringList movedTo;                 // ... to these names
  } pdfRun;
  // qr: the QRC command (text, place) -> DrawImage's result. place reads the
  // line's number fields; it may raise, and is called once the file is saved.
  std::function<int16_t(const QString&, const std::function<PicturePlace()>&)> QRC;
};

}  // namespace zarn
