#include "app/wiring.h"

#include "forms/paper_size.h"
#include "pdf/pdf_output.h"
#include "qr/qrc_command.h"
#include "web/web.h"
#ifdef _WIN32
#include "windows/desktop_paper.h"
#include "windows/folders.h"
#else
#include "linux/desktop_paper.h"
#include "linux/program_folder.h"
#include "linux/startup.h"
#endif

namespace zarn {

namespace {
void NoViewer(const QString&) {}
}  // namespace

EngineWiring::EngineWiring(Dialogs& dialogs, FileSystem& files, const Clock& clock, const WiringOptions& options)
    : pdfWriter(options.pdfWriterOnly ? PdfWriterPrinter::Viewer(NoViewer)
                                      : PdfWriterPrinter::Viewer(PdfWriterPrinter::OpenWithDesktopViewer),
                options.pdfFolder, options.pdfClock ? options.pdfClock : &clock, DesktopPaper()),
      surface(options.pdfWriterOnly ? QtPrintSurface(pdfWriter, QStringList(), QString()) : QtPrintSurface(pdfWriter)),
#ifdef _WIN32
      spooler(surface, UserFile(QStringLiteral("form-order"))),
#else
      pageSizes(surface),
      spooler(pageSizes, surface),
#endif
      engine(surface, surface, log, dialogs, files, pictures, clock),
      consent(files, dialogs, ServiceHostsAnswersPath()),
      pins(files, CertificatePinsPath()),
      downloads(files, options.programFolder, options.readFolder) {
#ifndef _WIN32
  KeepFreedMemoryForReuse();  // before the first document
#endif
  engine.programFolder = options.programFolder;
  downloads.ProtectBelow(&engine.state.PdfFolder);
  // A person at the printer tells jobs apart by their titles in the queue:
  // the PDF name the script gave, else when the document started.
  surface.SetDocumentTitle([this, &clock] {
    const QString& name = engine.state.PdfFileName;
    return name.isEmpty() ? QStringLiteral("zarn ") + clock.Now().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) : name;
  });
  hosts.dialogs = &dialogs;
  hosts.log = &log;
  hosts.consent = &consent;
  hosts.pins = &pins;
  engine.DownloadFile = [this](const QString& source, const QString& target) {
    return DownloadFile(downloader, source, target, hosts, &downloads);
  };
  engine.LocalPath = [this](const QString& path) { return downloads.ForReading(path); };
  engine.PaperSize = BindPaperSize(engine, spooler);
  engine.PaperSizeMm = BindPaperSizeMm(engine, spooler);
  engine.PDFONLY = [this](const QString& name, const QString& sub) { PDFONLY(engine, pdfWriter, name, sub); };
  engine.PDFPrinterOff = [this] { PDFPrinterOff(engine); };
  engine.PdfDocumentName = [this](const QString& name, const QString& sub) { PdfDocumentName(engine, name, sub); };
  engine.DocumentEnded = [this] { PdfDocumentEnded(engine); };
  std::function<void()> events = options.processEvents;
  engine.QRC = [this, events](const QString& text, const std::function<PicturePlace()>& place) {
    return RunQrc(engine, qrCanvas, [events] { if (events) events(); }, text, place);
  };
}

// Beside each other: $XDG_CONFIG_HOME/zarn (Windows: %APPDATA%\zarn).
QString CertificatePinsPath() { return UserFile(QStringLiteral("certificate-pins")); }

QString ServiceHostsAnswersPath() { return UserFile(QStringLiteral("service-hosts")); }

}  // namespace zarn
