// zarn: started with a "zarn://" link, runs one print job and ends.
#include <QApplication>
#include <QByteArray>
#include <QDateTime>
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
#include "linux/pdf_writer_printer.h"
#include "linux/program_folder.h"
#include "linux/qt_dialogs.h"
#include "linux/qt_main_window.h"
#include "linux/qt_picture.h"
#include "linux/qt_print_surface.h"
#ifdef _WIN32
#include "windows/console.h"
#include "windows/spooler_jobs.h"
#include "windows/tray_notifier.h"
#include "windows/win_clipboard.h"
#include "windows/winhttp_client.h"
#else
#include "linux/cups_jobs.h"
#include "linux/curl_http.h"
#include "linux/dbus_notifier.h"
#include "linux/qt_clipboard.h"
#include "linux/startup.h"
#endif
#include "pdf/pdf_output.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/qr_canvas.h"
#include "qr/qrc_command.h"
#include "qt/real_file_system.h"
#include "qt/system_clock.h"
#include "web/service_consent.h"
#include "web/web.h"
#include "app/wiring.h"
#include "version.h"

namespace {

// --forget shows no box.
class NoDialogs final : public zarn::Dialogs {
 public:
  void Message(const QString&, const QString&) override {}
  zarn::TrapChoice AbortRetryIgnore(const QString&, const QString&, const QString&) override { return zarn::TrapChoice::Abort; }
};

// Exit statuses besides 0 (the job ran to its end) and kAbortExitStatus.
constexpr int kNoDisplayExitStatus = 1;
// How long the print system may take to answer whether it runs at all.
constexpr int kPrintSystemMs = 500;

// Needs a QCoreApplication, for the program folder.
void PrintUsage() {
  std::cout << "usage: zarn '\"zarn://DATA/\"'\n"
#ifdef _WIN32
               "  Started by Windows for a zarn:// link, which it hands over in quotes with\n"
               "  \"/\" after it. zarn fetches the print script\n"
#else
               "  Started by the desktop for a zarn:// link (through zarn-link, which hands\n"
               "  the link over in quotes with \"/\" after it). zarn fetches the print script\n"
#endif
               "  from the service the link names, prints it, leaves a run log on the\n"
               "  clipboard and ends. Its own files (zarn.ini, error_handler.txt, qrcode.bmp,\n"
               "  downloads) are in "
            << zarn::ProgramFolder().toStdString()
            << "\n"
               "  --help           this text\n"
               "  --version        the version\n"
               "  --forget HOST    forget your answer (Always or Never) for HOST, so that\n"
               "                   its next job asks again; the answers are kept in\n"
               "                   "
            << zarn::ServiceHostsAnswersPath().toStdString()
            << "\n"
               "Exit status: 0 when the job ran to its end (also after errors answered\n"
               "Ignore), "
            << zarn::kAbortExitStatus << " when an error was answered Abort or the request was\n"
               "cancelled, " << kNoDisplayExitStatus
            << " without a display.\n"
               "See zarn(1).\n";
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zarn;
#ifdef _WIN32
  // A window program: --help and --version write to the console it was started from.
  UseParentConsole();
#endif
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    QCoreApplication app(argc, argv);
    PrintUsage();
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--forget") == 0) {
    QCoreApplication app(argc, argv);
    RealFileSystem files;
    NoDialogs none;
    ServiceConsent consent(files, none, ServiceHostsAnswersPath());
    const QString host = QString::fromLocal8Bit(argv[2]);
    if (!consent.Forget(host)) {
      std::cerr << "zarn: no answer for " << ConsentKey(host).toStdString() << " in "
                << consent.answersPath().toStdString() << "\n";
      return 1;
    }
    std::cout << "zarn: forgot the answer for " << ConsentKey(host).toStdString() << "; its next job asks again\n";
    return 0;
  }
  if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
    std::cout << "zarn " << kVersionText << "\n";
    return 0;
  }
#ifndef _WIN32
  if (!DisplayAvailable()) {
    const QByteArray display = qgetenv("DISPLAY");
    std::cerr << "zarn: no display to show its window on ("
              << (display.isEmpty() ? "DISPLAY is not set" : "cannot connect to DISPLAY " + display.toStdString())
              << "); zarn runs on a desktop, started for zarn:// links\n";
    return kNoDisplayExitStatus;
  }
  std::optional<NoSessionBusAutolaunch> noBusAutolaunch(std::in_place);
#endif
  // The link as the launcher hands it over; read before Qt takes its own
  // options out of argv.
#ifdef _WIN32
  const QString commandLine = RawArguments();
#else
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const QString commandLine = args.join(u' ');
#endif

#ifdef _WIN32
  QApplication app(argc, argv);
#else
  std::thread fonts = ReadFontConfiguration();
  QApplication app(argc, argv);
  fonts.join();
#endif
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
  // After an Abort the desktop (and the script's STATUS address) still hear of it.
  Job* running = nullptr;
  host.abort = [&running] {
    if (running) AfterAbort(*running);
    std::_Exit(kAbortExitStatus);
  };
  InstallTrapHost(&host);
  vbwInitializeProtector();

  // The printers: the spooler's and our PDF writer. Pending documents are
  // sent when the wiring goes, before the application does.
#ifdef _WIN32
  WinHttpClient http;
  QtMainWindow window;
  WinClipboard clipboard;
#else
  CurlHttpClient http;
  QtMainWindow window;  // the first widgets: Qt's accessibility bridge looks for the session bus
  noBusAutolaunch.reset();
  dialogs.SetOwner(&window.Widget());
  QtClipboard clipboard;
#endif
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
  HostRefusal refusal;
  wiring.hosts.lastRefusal = &refusal;
  job.serviceRefusal = &refusal;
  job.pins = &wiring.pins;
  // The job's end is told to the desktop and to the script's STATUS address.
#ifdef _WIN32
  TrayNotifier notifier;
#else
  DBusNotifier notifier;
#endif
  job.notifier = &notifier;
  job.calls.SendStatus = [&](HttpClient& h, const QString& address, const QString& query, const QString& service,
                             long deadlineMs) { SendJobStatus(h, address, query, wiring.hosts, service, deadlineMs); };
  // The job is found in the queue by the title its last document got there,
  // among the jobs made since this run started.
  const QDateTime started = QDateTime::currentDateTime().addSecs(-1);
  job.calls.SpoolerJob = [&](const QString& printer, int timeoutMs) {
    QString title;
    for (const PrintedDocument& d : wiring.surface.Documents())
      if (d.printer == printer) title = d.title;
#ifdef _WIN32
    return title.isEmpty() ? SpoolerReport() : FollowSpoolerJob(printer, title, started, timeoutMs);
#else
    return title.isEmpty() ? SpoolerReport() : FollowCupsJob(printer, title, started, timeoutMs);
#endif
  };
#ifndef _WIN32
  job.calls.PrintSystemRunning = [] { return CupsRunning(kPrintSystemMs); };
#endif
  running = &job;
  const int status = Form_Load(job);
  running = nullptr;

  // Returning ends the process; QApplication's end hands the clipboard to a
  // clipboard manager where one runs.
  return status;
}
