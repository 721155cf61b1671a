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

#include "engine/engine.h"
#include "engine/parse_print.h"
#include "engine/run_log.h"
#include "errortrap/exception_guard.h"
#include "errortrap/trap.h"
#include "forms/paper_size.h"
#include "launch/form_load.h"
#ifdef _WIN32
#include "windows/folders.h"
#include "windows/machine.h"
#else
#include "linux/machine.h"
#include "linux/program_folder.h"
#endif
#include "pdf/pdf_output.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/qr_canvas.h"
#include "qr/qrc_command.h"
#include "qt/pdf_writer_printer.h"
#include "qt/qt_dialogs.h"
#include "qt/qt_main_window.h"
#include "qt/qt_picture.h"
#include "qt/qt_print_surface.h"
#include "qt/real_file_system.h"
#include "qt/system_clock.h"
#include "web/service_consent.h"
#include "web/web.h"
#include "app/silent_dialogs.h"
#include "app/wiring.h"
#include "version.h"

namespace {

// Exit statuses besides 0 (the job ran to its end) and kAbortExitStatus.
constexpr int kNoDisplayExitStatus = 1;

// Needs a QCoreApplication, for the program folder.
void PrintUsage() {
  std::cout << "usage: zarn '\"zarn://DATA/\"'\n"
            << zarn::Machine::kStartedBy
            << "  from the service the link names, prints it, leaves a run log on the\n"
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
  Machine machine;
  if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
    QCoreApplication app(argc, argv);
    PrintUsage();
    return 0;
  }
  if (argc == 3 && std::strcmp(argv[1], "--forget") == 0) {
    QCoreApplication app(argc, argv);
    RealFileSystem files;
    SilentDialogs none(TrapChoice::Abort);  // --forget shows no box
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
  if (!machine.DisplayReady()) return kNoDisplayExitStatus;
  // The link as the launcher hands it over; read before Qt takes its own
  // options out of argv.
  const QString commandLine = Machine::CommandLine(argc, argv);

  machine.BeforeQt();
  QApplication app(argc, argv);
  machine.QtStarted();
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
  Machine::Http http;
  QtMainWindow window;  // the first widgets: Qt's accessibility bridge looks for the session bus
  machine.WindowMade();
  dialogs.SetOwner(&window.Widget());
  Machine::Clipboard clipboard;
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
  Machine::Notifier notifier;
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
    return title.isEmpty() ? SpoolerReport() : Machine::FollowJob(printer, title, started, timeoutMs);
  };
  job.calls.PrintSystemRunning = Machine::PrintSystemRunning();
  running = &job;
  const int status = Form_Load(job);
  running = nullptr;

  // Returning ends the process; QApplication's end hands the clipboard to a
  // clipboard manager where one runs.
  return status;
}
