// zarn: started with a "zarn://" link, runs one print job and ends.
#include <QApplication>
#include <QByteArray>
#include <QString>
#include <QStringList>

#include "decoding/decoding.h"
#include "engine/engine.h"
#include "engine/run_log.h"
#include "errortrap/exception_guard.h"
#include "errortrap/trap.h"
#include "forms/paper_size.h"
#include "launch/form_load.h"
#include "platform/clock.h"
#include "platform/file_form_spooler.h"
#include "platform/file_system.h"
#include "pdf/pdf_output.h"
#include "platform/pdf_writer_printer.h"
#include "platform/qt_picture.h"
#include "platform/qt_print_surface.h"
#include "platform/qt_clipboard.h"
#include "platform/qt_dialogs.h"
#include "platform/qt_main_window.h"
#include "app/unwired.h"

int main(int argc, char** argv) {
  // The link as the launcher hands it over; read before Qt takes its own
  // options out of argv.
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  const QString commandLine = args.join(u' ');

  QApplication app(argc, argv);
  const QString programFolder = QCoreApplication::applicationDirPath();

  zarn::RealFileSystem files;
  zarn::QtDialogs dialogs;
  zarn::SystemClock clock;
  zarn::TrapHost host;
  host.dialogs = &dialogs;
  host.clock = &clock;
  host.files = &files;
  host.errorLogPath = programFolder + QStringLiteral("/error_handler.txt");
  host.abort = [] { std::_Exit(0); };
  zarn::InstallTrapHost(&host);
  zarn::vbwInitializeProtector();

  // The CUPS printers and our own PDF writer printer; pending documents are
  // sent when the surface goes at the end of main.
  zarn::PdfWriterPrinter pdfWriter;
  zarn::QtPrintSurface printer(pdfWriter);
  zarn::QtPictureLoader pictures;
  zarn::UnwiredHttpClient http;
  zarn::RunLog log;
  zarn::Engine engine(printer, printer, log, dialogs, files, pictures, clock);
  engine.programFolder = programFolder;
  // Forms: the printers' own page sizes, user forms in the configuration folder.
  zarn::QtPrinterPageSizes pageSizes(printer);
  zarn::FileFormSpooler formSpooler(pageSizes, printer);
  engine.PaperSize = zarn::BindPaperSize(engine, formSpooler);

  zarn::QtMainWindow window;
  zarn::QtClipboard clipboard;
  zarn::JobCalls calls;
  calls.PDFPrinterOn = [&](zarn::Engine& e, const QString& name, const QString& sub) {
    zarn::PDFPrinterOn(e, pdfWriter, name, sub);
  };
  calls.PDFPrinterOff = [](zarn::Engine& e) { zarn::PDFPrinterOff(e); };
  engine.PDFONLY = [&](const QString& name, const QString& sub) { zarn::PDFONLY(engine, pdfWriter, name, sub); };
  engine.PDFPrinterOff = [&] { zarn::PDFPrinterOff(engine); };
  calls.Base64Decode = &zarn::Base64Decode;
  calls.DecodeURI = &zarn::DecodeURI;
  zarn::Job job{engine, http, clipboard, dialogs, files, clock, window, programFolder, commandLine, calls};
  zarn::Form_Load(job);

  // Returning ends the process; QApplication's end hands the clipboard to a
  // clipboard manager where one runs.
  return 0;
}
