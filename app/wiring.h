#pragma once
// The real platform wired into the engine: printers (the spooler's and our PDF writer),
// pictures, forms, downloads and QR codes. Shared by the client (zarn) and the
// script renderer (zarn-render), so both print through exactly the same code.
// The members live as long as the object; the surface sends pending documents
// when it goes.
#include <QString>
#include <functional>

#include "engine/engine.h"
#include "engine/run_log.h"
#include "platform/clock.h"
#include "platform/dialogs.h"
#include "platform/file_system.h"
#include "platform/qr_canvas.h"
#include "qt/pdf_writer_printer.h"
#include "qt/qt_picture.h"
#include "qt/qt_print_surface.h"
#include "qt/qt_qr_canvas.h"
#include "web/certificate_pins.h"
#include "web/download_folder.h"
#include "web/service_consent.h"
#include "web/service_hosts.h"
#ifdef _WIN32
#include "windows/spooler_forms.h"
#include "windows/winhttp_client.h"
#else
#include "linux/curl_http.h"
#include "linux/file_form_spooler.h"
#endif

namespace zarn {

struct WiringOptions {
  QString programFolder;
  // Lets window events through (the QR command's pauses).
  std::function<void()> processEvents;
  // True: our PDF writer is the only printer, its documents without settings
  // go to pdfFolder (named by pdfClock), and nothing is opened in a viewer.
  bool pdfWriterOnly = false;
  // Where relative picture paths that no download of the run wrote are read
  // from; empty: the program folder.
  QString readFolder;
  QString pdfFolder;
  const Clock* pdfClock = nullptr;
};

class EngineWiring {
 public:
  EngineWiring(Dialogs& dialogs, FileSystem& files, const Clock& clock, const WiringOptions& options);

  PdfWriterPrinter pdfWriter;
  QtPrintSurface surface;
  QtPictureLoader pictures;
#ifdef _WIN32
  WinFormSpooler spooler;
  WinHttpDownloader downloader;
#else
  QtPrinterPageSizes pageSizes;
  FileFormSpooler spooler;
  CurlDownloader downloader;
#endif
  QtQrCanvas qrCanvas;
  RunLog log;
  Engine engine;
  // The service hosts that the service request and "GF" downloads may ask;
  // refusals go to the dialogs and the run log. Until the settings file names
  // some, the user's answers decide which services may print.
  HostGuard hosts;
  ServiceConsent consent;
  // The keys of https services, pinned at their first job.
  CertificatePins pins;
  // Where "GF" writes and "DI" reads.
  DownloadFolder downloads;
};

// The file of the user's answers: $XDG_CONFIG_HOME/zarn/service-hosts
// (Windows: %APPDATA%\zarn\service-hosts).
QString ServiceHostsAnswersPath();
// The pinned keys beside it: $XDG_CONFIG_HOME/zarn/certificate-pins
// (Windows: %APPDATA%\zarn\certificate-pins).
QString CertificatePinsPath();

}  // namespace zarn
