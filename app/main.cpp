// zarn: started with a "zarn://" link, runs one print job and ends.
#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstdlib>

#include "decoding/decoding.h"
#include "engine/engine.h"
#include "engine/parse_print.h"
#include "engine/run_log.h"
#include "errortrap/exception_guard.h"
#include "errortrap/trap.h"
#include "forms/paper_size.h"
#include "launch/form_load.h"
#include "pdf/pdf_output.h"
#include "platform/clock.h"
#include "platform/cups_jobs.h"
#include "platform/curl_http.h"
#include "platform/dbus_notifier.h"
#include "platform/file_form_spooler.h"
#include "platform/file_system.h"
#include "platform/pdf_writer_printer.h"
#include "platform/qr_canvas.h"
#include "platform/qt_clipboard.h"
#include "platform/qt_dialogs.h"
#include "platform/qt_main_window.h"
#include "platform/qt_picture.h"
#include "platform/qt_print_surface.h"
#include "qr/qrc_command.h"
#include "web/web.h"
#include "app/wiring.h"

int main(int argc, char** argv) {
  using namespace zarn;
  // The link as the launcher hands it over; read before Qt takes its own
  // options out of argv.
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const QString commandLine = args.join(u' ');

  QApplication app(argc, argv);
  const QString programFolder = QCoreApplication::applicationDirPath();

  RealFileSystem files;
  QtDialogs dialogs;
  SystemClock clock;
  TrapHost host;
  host.dialogs = &dialogs;
  host.clock = &clock;
  host.files = &files;
  host.errorLogPath = programFolder + QStringLiteral("/error_handler.txt");
  host.abort = [] { std::_Exit(0); };
  InstallTrapHost(&host);
  vbwInitializeProtector();

  // The printers: CUPS and our PDF writer. Pending documents are sent when
  // the wiring goes, before the application does.
  CurlHttpClient http;
  QtMainWindow window;
  QtClipboard clipboard;
  WiringOptions options;
  options.programFolder = programFolder;
  options.processEvents = [&] { window.ProcessEvents(); };
  EngineWiring wiring(dialogs, files, clock, options);
  Engine& engine = wiring.engine;
  PdfWriterPrinter& pdfWriter = wiring.pdfWriter;

  JobCalls calls;
  calls.Base64Decode = &Base64Decode;
  calls.DecodeURI = &DecodeURI;
  calls.GetURL = [&](HttpClient& h, QString& address) { return GetURL(h, address, wiring.hosts); };
  calls.ParsePrint = &ParsePrint;
  calls.PDFPrinterOn = [&](Engine& e, const QString& name, const QString& sub) { PDFPrinterOn(e, pdfWriter, name, sub); };
  calls.PDFPrinterOff = &PDFPrinterOff;
  calls.StopPrinting = [&](Engine&) { wiring.surface.DiscardAll(); };
  Job job{engine, http, clipboard, dialogs, files, clock, window, programFolder, commandLine, calls};
  job.serviceHosts = &wiring.hosts.allowed;
  // The job's end is told to the desktop and to the script's STATUS address.
  DBusNotifier notifier;
  job.notifier = &notifier;
  job.calls.SendStatus = [&](HttpClient& h, const QString& address, const QString& query, const QString& service,
                             long deadlineMs) { SendJobStatus(h, address, query, wiring.hosts, service, deadlineMs); };
  job.calls.SpoolerJob = [](const QString& printer, int timeoutMs) {
    return NewestCupsJob(printer, QtPrintSurface::kDocumentName, timeoutMs);
  };
  Form_Load(job);

  // Returning ends the process; QApplication's end hands the clipboard to a
  // clipboard manager where one runs.
  return 0;
}
