#pragma once
// The real print surface: the spooler's printers that Qt sees (QPrinterInfo, in
// its order: CUPS on Linux, the Windows spooler's on Windows), followed by our
// own PDF writer printer.
//
// Drawing goes through a QPainter whose world transform is twips, origin at
// the top-left corner of the printable area (the whole page on the PDF
// writer, which has no margins and 600 dots per inch). Spooler printers print in
// QPrinter::HighResolution.
//
// Each printer is its own printer object, as in the classic printers
// collection: it keeps its own settings (font, colours, line and fill styles
// and position in a PrinterObject, which says what Select, NewPage and EndDoc
// reset; page settings beside them) and its own document. A document starts
// with the first output on a printer (text, also empty text, or any drawing)
// and ends with EndDoc, which hands it to the spooler or completes the
// PDF file.
// Selecting another printer leaves a pending document pending on the printer
// it was started on; it is finished when EndDoc is called while that printer
// is current again, or by FinishAll (and the destructor), as the classic
// runtime sends pending output when the program ends.
//
// A printer that becomes the current printer (the first one, and each one
// Select chooses) is set to its own paper: a spooler printer's default media, the
// PDF writer's own paper (the desktop's paper setting, handed in). Page settings (orientation, paper
// size, form size) apply to the page that starts next: the first page of the next document, or the page after the
// next NewPage. NewPage takes effect with the next output, so a NewPage
// before any output adds no blank page and EndDoc right after NewPage adds
// none either. Copies apply to the next document on a spooler printer; the PDF
// writer writes one copy.
//
// On the PDF writer, the drawing of a document is handed to a painting
// thread (PaintQueue), so Qt's PDF engine writes one page while the engine
// measures and shapes the next. Text goes there as the glyphs this side
// shaped; lines with glyphs from fallback fonts go as text. Errors of the
// painting show at EndDoc, where the file is completed.
//
// Classic behaviour kept: DrawWidth is in device dots (values below 1 draw one
// dot wide); dashed and dotted styles (1 to 4) draw solid when DrawWidth is
// more than 1; style 6 keeps the line of boxes and circles inside their
// outline. Text in Print may hold line breaks (CR LF, CR or LF); each further
// line starts at the left edge, one line height lower.
//
// Segments side by side in one colour and solid pen, as a gradient draws
// them, go to the device as one filled band of the same extent (SegmentRun);
// the band is handed on before any other drawing, page break or EndDoc.
//
// Needs a QGuiApplication.
#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <vector>

#include "platform/print_surface.h"

namespace zarn {

class PdfWriterPrinter;

class QtPrintSurface final : public PrintSurface, public PrinterList {
 public:
  // The spooler's printers, then the PDF writer; the current printer is the
  // spooler's default, or the PDF writer when there is none. The spooler is asked when the
  // list or the current printer is first needed, not here: a job asks its
  // service before anything is printed.
  explicit QtPrintSurface(PdfWriterPrinter& pdfWriter);
  // The named spooler printers instead of asking the spooler for them (empty: the PDF
  // writer alone); defaultPrinter becomes current when it is in the list.
  QtPrintSurface(PdfWriterPrinter& pdfWriter, const QStringList& spoolerPrinters, const QString& defaultPrinter);
  // Finishes pending documents; errors are swallowed here, call FinishAll to see them.
  ~QtPrintSurface() override;
  QtPrintSurface(const QtPrintSurface&) = delete;
  QtPrintSurface& operator=(const QtPrintSurface&) = delete;

  // Ends every pending document, the current printer's last.
  void FinishAll();
  // Drops every open document: nothing more of it is sent or written.
  void DiscardAll();
  // Names each document sent to the spooler (its title in the queue); asked when the
  // document starts. Without it, or when it gives nothing, "zarn".
  void SetDocumentTitle(std::function<QString()> title) { documentTitle_ = std::move(title); }
  // Index of the current printer.
  int Current() const;
  // Whether runs of segments side by side in one colour draw as one band
  // (SegmentRun), as they do unless a benchmark or test that compares with
  // drawing each segment as its own line turns it off.
  void SetSegmentRuns(bool on) { segmentRuns_ = on; }
  // Previews: the PDF writer paints its documents from now on on images of
  // dpi dots per inch instead of PDF files. Each document is named and uses
  // up the writer's settings as for a file, but no file is written; once it
  // is finished, its pages go to `document` as PNG files.
  using PreviewDocument = std::function<void(const QList<QByteArray>& pages)>;
  void PaintPdfWriterOnImages(int dpi, PreviewDocument document);

  // PrintSurface
  QString DeviceName() const override;
  void SetOrientation(int16_t orientation) override;
  void SetPaperSize(int16_t paperSize) override;
  void SetCopies(int16_t copies) override;
  void SetFormSize(const QString& formName, int32_t width, int32_t height) override;
  void SetPageOpenFlag(bool open) override;
  float PageWidth() const override;
  float PageHeight() const override;
  int32_t DeviceContext() const override;
  void Print(const QString& text) override;
  void SetCurrentX(float x) override;
  void SetCurrentY(float y) override;
  float CurrentX() const override;
  float CurrentY() const override;
  float TextWidth(const QString& text) override;
  float TextHeight(const QString& text) override;
  void SetFontName(const QString& name) override;
  void SetFontSize(float points) override;
  void SetFontBold(bool bold) override;
  void SetFontItalic(bool italic) override;
  void SetForeColor(uint32_t colour) override;
  void SetDrawWidth(int16_t width) override;
  void SetDrawStyle(int16_t style) override;
  void SetFillStyle(int16_t style) override;
  void SetFillColor(uint32_t colour) override;
  void Line(float x1, float y1, float x2, float y2, uint32_t colour, LineKind kind) override;
  void Circle(float x, float y, float radius, uint32_t colour) override;
  void Arc(float x, float y, float radius, uint32_t colour, float start, float end) override;
  void PaintPicture(const Picture& picture, float x, float y) override;
  void PaintPicture(const Picture& picture, float x, float y, float width, float height) override;
  void NewPage() override;
  void EndDoc() override;
  QList<PrintedDocument> Documents() const override;

  // PrinterList
  int Count() const override;
  QString DeviceName(int index) const override;
  void Select(int index) override;

  struct Device;

 private:
  void Init(const QStringList& spoolerPrinters, const QString& defaultPrinter) const;
  // The printer list, asking the spooler for it the first time.
  std::vector<std::unique_ptr<Device>>& Devices() const;
  Device& Cur() const;

  PdfWriterPrinter& pdfWriter_;
  std::function<QString()> documentTitle_;
  mutable bool askSpooler_ = false;
  mutable std::vector<std::unique_ptr<Device>> devices_;
  mutable int current_ = 0;
  bool segmentRuns_ = true;
  int previewDpi_ = 0;
  PreviewDocument previewDocument_;
  QList<PrintedDocument> sent_;
};

}  // namespace zarn
