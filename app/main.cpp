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
#include "platform/curl_http.h"
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
  // the surface goes, before the application does.
  PdfWriterPrinter pdfWriter(PdfWriterPrinter::OpenWithDesktopViewer, QString(), &clock);
  QtPrintSurface surface(pdfWriter);
  QtPictureLoader pictures;
  QtPrinterPageSizes pageSizes(surface);
  FileFormSpooler spooler(pageSizes, surface);
  CurlHttpClient http;
  CurlDownloader downloader;
  QtQrCanvas qrCanvas;
  QtMainWindow window;
  QtClipboard clipboard;

  RunLog log;
  Engine engine(surface, surface, log, dialogs, files, pictures, clock);
  engine.programFolder = programFolder;
  engine.DownloadFile = [&](const QString& source, const QString& target) {
    return DownloadFile(downloader, source, target);
  };
  engine.PaperSize = BindPaperSize(engine, spooler);
  engine.PDFONLY = [&](const QString& name, const QString& sub) { PDFONLY(engine, pdfWriter, name, sub); };
  engine.PDFPrinterOff = [&] { PDFPrinterOff(engine); };
  engine.QRC = [&](const QString& text, int32_t x, int32_t y, int32_t width, int32_t height) {
    return RunQrc(engine, qrCanvas, [&] { window.ProcessEvents(); }, text, x, y, width, height);
  };

  JobCalls calls;
  calls.Base64Decode = &Base64Decode;
  calls.DecodeURI = &DecodeURI;
  calls.GetURL = &GetURL;
  calls.ParsePrint = &ParsePrint;
  calls.PDFPrinterOn = [&](Engine& e, const QString& name, const QString& sub) { PDFPrinterOn(e, pdfWriter, name, sub); };
  calls.PDFPrinterOff = &PDFPrinterOff;
  Job job{engine, http, clipboard, dialogs, files, clock, window, programFolder, commandLine, calls};
  Form_Load(job);

  // Returning ends the process; QApplication's end hands the clipboard to a
  // clipboard manager where one runs.
  return 0;
}
