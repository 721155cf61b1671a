#pragma once
// Our own PDF writer printer: the last printer of the printer list, which
// writes each document to a PDF file through Qt's PDF engine.
//
// Its automation objects (PDFUtil, PDFSettings) work as the PDF output
// procedures expect of a PDF writer driver: settings written with
// WriteSettings(true) decide the output of the next document started on this
// printer and are used up by it; settings written with WriteSettings(false)
// stand for every later document that has no one-shot settings. Without any
// settings a document goes to the user's documents folder under a time-stamped
// name ("yyyy-MM-dd-hh-mm-ss.pdf", "-2", "-3" ... when that exists).
//
// Settings it acts on (names and "yes"/"no" values compared without case):
//   "Output"            the file path ("\" accepted as separator)
//   "ConfirmOverwrite"  "no": an existing file is replaced; otherwise the
//                       overwrite question is asked, and a "no" (or no one to
//                       ask) writes the document under a numbered free name
//                       beside it, so nothing is lost
//   "ShowPDF"           "yes": the finished file is opened with the viewer
// The other settings the procedures write ("ShowSaveAS", "ShowSettings",
// "ShowProgress", "ShowProgressFinished", "RememberLastFileName",
// "RememberLastFolderName") concern dialogs this writer does not have; they are
// kept and have no effect.
//
// The object must outlive the automation objects it creates and the print
// surface that prints on it.
#include <QMap>
#include <QPageSize>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

#include "platform/clock.h"
#include "platform/pdf_writer.h"
#include "qt/system_clock.h"

namespace zarn {

// Where one document goes and what happens when it is finished.
struct PdfDocumentTarget {
  QString path;        // absolute path of the PDF file
  bool showPdf = false;
};

class PdfWriterPrinter final : public PdfWriterControl {
 public:
  // Opens a finished file for the user.
  using Viewer = std::function<void(const QString& path)>;
  // Asked whether an existing file may be replaced; true replaces it.
  using OverwriteQuestion = std::function<bool(const QString& path)>;

  // The device name the printer list shows.
  static QString Name();
  // The desktop's viewer (QDesktopServices).
  static void OpenWithDesktopViewer(const QString& path);

  // documentsFolder: where documents without settings go; empty for the
  // user's documents folder. The clock names those documents. paper: the
  // printer's own paper, the desktop's (each machine's DesktopPaper()).
  explicit PdfWriterPrinter(Viewer viewer = OpenWithDesktopViewer, QString documentsFolder = {},
                            const Clock* clock = nullptr, QPageSize paper = QPageSize(QPageSize::A4));

  const QPageSize& Paper() const { return paper_; }

  void SetOverwriteQuestion(OverwriteQuestion question) { question_ = std::move(question); }

  std::unique_ptr<PDFUtil> CreatePDFUtil() override;
  std::unique_ptr<PDFSettings> CreatePDFSettings() override;

  // The print surface's side. NextDocument decides the file of the document
  // that starts now (creating the documents folder when that is where it
  // goes); DocumentStarted, once it has started, uses up the one-shot settings.
  PdfDocumentTarget NextDocument() const;
  void DocumentStarted() { next_.reset(); }
  // Called once the file is complete in its place.
  void DocumentFinished(const PdfDocumentTarget& target);

  // Settings as written, names in lower case (for tests and diagnostics).
  using Settings = QMap<QString, QString>;
  const std::optional<Settings>& PendingSettings() const { return next_; }

  // Called by the settings objects.
  void Write(const QString& printerName, const Settings& settings, bool forNextDocument);

 private:
  QString StampedPath() const;

  Viewer viewer_;
  OverwriteQuestion question_;
  QString documentsFolder_;
  QPageSize paper_;
  SystemClock systemClock_;
  const Clock* clock_;
  std::optional<Settings> next_;
  Settings standing_;
};

}  // namespace zarn
