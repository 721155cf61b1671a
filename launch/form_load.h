#pragma once
// Module frmMAIN: the whole job of one run, in Form_Load. It shows the window,
// reads the settings file, cuts the link out of the command line and decodes
// it into the service request, fetches the print script, has it run on the
// printer and, when the settings ask for it, once more into a PDF file, and
// leaves the run log on the clipboard. Every statement is a step of the
// procedure's trap: Retry runs the failing step again, Ignore goes on with the
// next one with whatever the variables hold.
//
// Everything the flow talks to is handed in, so that tests run it on fakes.
// The run log is the engine's RunLog (e.engine.log); the settings land in the
// engine's PrintState.
#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <cstdint>
#include <functional>

#include "engine/engine.h"

namespace zarn {

class HttpClient;
class Clipboard;
class MainWindow;
class HostAllowList;
class Notifier;

// The other subsystems' procedures that reach a service, a printer or the
// spooler, with their own signatures, as main() or a test wires them (the
// link's decoding is called directly). A call left empty is skipped and its result stays empty.
struct JobCalls {
  std::function<QString(HttpClient&, QString&)> GetURL;
  std::function<void(Engine&, const QString&, int16_t)> ParsePrint;
  std::function<void(Engine&, const QString&, const QString&)> PDFPrinterOn;  // file name, sub-folder
  std::function<void(Engine&)> PDFPrinterOff;
  // Drops the documents still open, when the user stopped the job.
  std::function<void(Engine&)> StopPrinting;
  // The STATUS report: address, query, the service's completed address, and
  // the milliseconds it may take.
  std::function<void(HttpClient&, const QString&, const QString&, const QString&, long)> SendStatus;
  // The spooler's number of the newest job this program sent to a printer
  // (0: none known), for the STATUS report; given the milliseconds it may take.
  std::function<int(const QString& printer, int)> SpoolerJob;
};

struct Job {
  Engine& engine;
  HttpClient& http;
  Clipboard& clipboard;
  Dialogs& dialogs;
  FileSystem& files;
  const Clock& clock;
  MainWindow& window;
  QString programFolder;  // the folder of the running program, no final "/"
  QString commandLine;    // the program's arguments joined by one blank
  JobCalls calls;
  // Receives the settings file's service hosts (every host when it names
  // none); the caller's GetURL and downloads ask it. None: not read.
  HostAllowList* serviceHosts = nullptr;
  // Told of the job's outcome once the run log is on the clipboard. None: no one.
  Notifier* notifier = nullptr;
};

// Runs the job (steps 1 to 15), then tells the desktop and the script's
// STATUS address how it went; ending the process is the caller's last step.
void Form_Load(Job& job);

// "ZARN v" + major.minor.revision of the program.
QString VersionCaption();

// The run log's time: day, month, four-digit year, hours (24), minutes and
// seconds, with the locale's date and time separators: "08/12/2026 03:29:32"
// where they are "/" and ":" (and in the C locale), "08.12.2026 03:29:32" in
// de_DE.
QString RunLogTime(const QDateTime& t, const QLocale& locale = QLocale::system());

// The response as the run log shows it: the first 800 characters, "...", the
// last 800 characters (a short response appears twice).
QString ResponseExcerpt(const QString& response);

// The settings file beside the program.
QString SettingsPath(const QString& programFolder);

}  // namespace zarn
