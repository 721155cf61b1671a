// zarn: started with a "zarn://" link, runs one print job and ends.
#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QString>
#include <QStringList>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>

#include "engine/engine.h"
#include "engine/parse_print.h"
#include "engine/run_log.h"
#include "errortrap/exception_guard.h"
#include "errortrap/trap.h"
#include "forms/paper_size.h"
#include "launch/form_load.h"
#include "linux/cups_jobs.h"
#include "linux/curl_http.h"
#include "linux/dbus_notifier.h"
#include "linux/file_form_spooler.h"
#include "linux/pdf_writer_printer.h"
#include "linux/program_folder.h"
#include "linux/qt_clipboard.h"
#include "linux/qt_dialogs.h"
#include "linux/qt_main_window.h"
#include "linux/qt_picture.h"
#include "linux/qt_print_surface.h"
#include "linux/startup.h"
#include "pdf/pdf_output.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/qr_canvas.h"
#include "qr/qrc_command.h"
#include "qt/real_file_system.h"
#include "qt/system_clock.h"
#include "web/web.h"
#include "app/wiring.h"
#include "version.h"

namespace {

// Exit statuses besides 0 (the job ran to its end) and kAbortExitStatus.
constexpr int kNoDisplayExitStatus = 1;

// Needs a QCoreApplication, for the program folder.
void PrintUsage() {
  std::cout << "usage: zarn '\"zarn://DATA/\"'\n"
               "  Started by the desktop for a zarn:// link (through zarn-link, which hands\n"
               "  the link over in quotes with \"/\" after it). zarn fetches the print script\n"
               "  from the service the link names, prints it, leaves a run log on the\n"
               "  clipboard and ends. Its own files (zarn.ini, error_handler.txt, qrcode.bmp,\n"
               "  downloads) are in "
            << zarn::ProgramFolder().toStdString()
            << "\n"
               "  --help     this text\n"
               "  --version  the version\n"
               "Exit status: 0 when the job ran to its end (also after errors answered\n"
               "Ignore), "
            << zarn::kAbortExitStatus << " when an error was answered Abort, " << kNoDisplayExitStatus
            << " without a display.\n"
               "See zarn(1).\n";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zarn;
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    QCoreApplication app(argc, argv);
    PrintUsage();
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << "zarn " << kVersionText << "\n";
    return 0;
  }
  if (!DisplayAvailable()) {
    const QByteArray display = qgetenv("DISPLAY");
    std::cerr << "zarn: no display to show its window on ("
              << (display.isEmpty() ? "DISPLAY is not set" : "cannot connect to DISPLAY " + display.toStdString())
              << "); zarn runs on a desktop, started for zarn:// links\n";
    return kNoDisplayExitStatus;
  }
  std::optional<NoSessionBusAutolaunch> noBusAutolaunch(std::in_place);
  // The link as the launcher hands it over; read before Qt takes its own
  // options out of argv.
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const QString commandLine = args.join(u' ');

  std::thread fonts = ReadFontConfiguration();
  QApplication app(argc, argv);
  fonts.join();
  const QString programFolder = ProgramFolder();
  QDir().mkpath(programFolder);

  RealFileSystem files;
  QtDialogs dialogs;
  SystemClock clock;
  TrapHost host;
  host.dialogs = &dialogs;
  host.clock = &clock;
  host.files = &files;
  host.errorLogPath = programFolder + QStringLiteral("/error_handler.txt");
  host.abort = [] { std::_Exit(kAbortExitStatus); };
  InstallTrapHost(&host);
  vbwInitializeProtector();

  // The printers: CUPS and our PDF writer. Pending documents are sent when
  // the wiring goes, before the application does.
  CurlHttpClient http;
  QtMainWindow window;  // the first widgets: Qt's accessibility bridge looks for the session bus
  noBusAutolaunch.reset();
  QtClipboard clipboard;
  WiringOptions options;
  options.programFolder = programFolder;
  options.processEvents = [&] { window.ProcessEvents(); };
  EngineWiring wiring(dialogs, files, clock, options);
  Engine& engine = wiring.engine;
  PdfWriterPrinter& pdfWriter = wiring.pdfWriter;

  JobCalls calls;
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
  // The job is found in the queue by the title its last document got there.
  job.calls.SpoolerJob = [&](const QString& printer, int timeoutMs) {
    QString title;
    for (const PrintedDocument& d : wiring.surface.Documents())
      if (d.printer == printer) title = d.title;
    return title.isEmpty() ? 0 : NewestCupsJob(printer, title, timeoutMs);
  };
  Form_Load(job);

  // Returning ends the process; QApplication's end hands the clipboard to a
  // clipboard manager where one runs.
  return 0;
}
