#pragma once
// One printer of the print surface and its open document: the spooler's
// printer or our PDF writer it prints on, the settings a script draws with, the page
// settings for the next page, and the document's painting, handed to a
// PaintQueue. Units are twips, origin at the top-left corner of the
// printable area.
#include <QBrush>
#include <QBuffer>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QPen>
#include <QPrinter>
#include <QSaveFile>
#include <QSet>
#include <QSizeF>
#include <QString>
#include <functional>
#include <memory>
#include <optional>
#include <utility>

#include "platform/printer_object.h"
#include "qt/classic_pen.h"
#include "qt/page_images.h"
#include "qt/paint_queue.h"
#include "qt/pdf_writer_printer.h"
#include "qt/qt_print_surface.h"
#include "qt/segment_run.h"
#include "qt/text_shaping.h"

namespace zarn {

// The classic "Printer error".
[[noreturn]] void RaisePrinterError();

// A printer of the list: its settings and what resets them (PrinterObject),
// its page settings and its open document.
struct QtPrintSurface::Device : PrinterObject {
  QString name;
  bool pdf = false;
  int32_t dc = 0;
  const std::function<QString()>* title = nullptr;  // the surface's document title
  const int* previewDpi = nullptr;                    // the surface's; 0: PDF files

  // For the next page.
  QPageSize pageSize{QPageSize::A4};
  QPageLayout::Orientation orientation = QPageLayout::Portrait;
  int copies = 1;
  bool pageOpenFlag = false;

  // Spooler printer: the printer, kept for metrics and every document. PDF writer: a
  // writer that never paints, for metrics, and one writer per document.
  std::unique_ptr<QPrinter> printer;
  std::unique_ptr<QBuffer> metricsBuffer;
  std::unique_ptr<QPdfWriter> metricsWriter;
  std::unique_ptr<QSaveFile> file;
  std::unique_ptr<QPdfWriter> writer;
  std::unique_ptr<PageImages> images;  // instead of file and writer, for previews
  // The open document's painting: on a thread of its own for the PDF writer,
  // which nothing else measures with.
  PaintQueue queue;
  std::optional<QPen> pen;      // the document's, as last handed on
  std::optional<QBrush> brush;
  PdfDocumentTarget target;
  int pendingBreaks = 0;
  // Segments gathered into one band, drawn before anything else is.
  SegmentRun run;
  int pages = 0;  // of the open document
  QString queueTitle;  // the open document's name in the spooler's queue

  TextShaper text;
  QSet<int> documentFonts;  // the fonts the painting side knows in the open document
  LinePens linePens;

  QPrinter& Printer();
  QPaintDevice& MetricsDevice();
  double Dpi() { return pdf ? kPdfWriterDpi : Printer().resolution(); }
  double TwipsPerDot() { return kTwipsPerInch / Dpi(); }

  // The current font (see TextShaper::Resolve).
  const QFontMetricsF& Metrics() {
    if (const QFontMetricsF* current = text.Current()) return *current;
    return text.Resolve(fontName, fontSize, bold, italic, Dpi(), MetricsDevice());
  }
  // The current font's number in the open document (call Metrics() and
  // Open() first); the painting side makes its own font from the description
  // the first time, as fonts belong to the thread that resolved them.
  int DocumentFont();

  QPagedPaintDevice& Paged() {
    if (pdf) return *writer;
    return *printer;
  }

  void Begin(PdfWriterPrinter& pdfWriter);
  // Drops a document that cannot be completed; its file never replaces anything.
  void Discard();

  // The open document as the job's report lists it.
  PrintedDocument Printed() const { return {name, pages, pdf && !images ? target.path : QString(), queueTitle}; }

  // The next page's size in twips, in its orientation.
  QSizeF PageTwips() const {
    const QSizeF twips = pageSize.size(QPageSize::Point) * 20;
    return orientation == QPageLayout::Landscape ? twips.transposed() : twips;
  }
  // The same to the fraction, for the size of a page image (Qt gives whole points).
  QSizeF ImageTwips() const {
    const QSizeF twips = pageSize.size(QPageSize::Millimeter) * (kTwipsPerInch / 25.4);
    return orientation == QPageLayout::Landscape ? twips.transposed() : twips;
  }

  // Starts the document, or the pages broken since the last output.
  void Open(PdfWriterPrinter& pdfWriter) {
    if (!queue.Active()) {
      Begin(pdfWriter);
    } else {
      DrawRun();
      for (; pendingBreaks > 0; --pendingBreaks) NewPage(true);
    }
  }

  // Hands on drawing that cannot fail the document: draw(painter).
  template <typename F>
  void Draw(F&& draw) {
    queue.Post([draw = std::forward<F>(draw)](PaintQueue::Target& t) {
      draw(t.painter);
      return true;
    });
  }

  // The pen, and the brush, of the drawing that follows. Only changes are
  // handed on: the painting thread then compares nothing.
  void Use(const QPen& p, const QBrush* b = nullptr) {
    if (pen != p) {
      pen = p;
      Draw([p](QPainter& painter) { painter.setPen(p); });
    }
    if (b && brush != *b) {
      brush = *b;
      Draw([b = *b](QPainter& painter) { painter.setBrush(b); });
    }
  }

  // The gathered segments, if any, as their band.
  void DrawRun();

  // The next page, in the page settings of now when apply is set.
  void NewPage(bool apply);

  double PenWidth() { return zarn::PenWidth(drawWidth, TwipsPerDot()); }
  // The line pen in a colour; the reference holds until the next call.
  const QPen& Pen(uint32_t colour) {
    if (const QPen* kept = linePens.Find(colour, drawWidth, drawStyle)) return *kept;
    return linePens.Make(colour, drawWidth, drawStyle, TwipsPerDot());
  }
  QBrush FillBrush() const { return zarn::FillBrush(fillStyle, fillColor); }
  double Inset() { return zarn::Inset(drawStyle, PenWidth()); }

  static constexpr double kTwipsPerInch = 1440;
  static constexpr int kPdfWriterDpi = 600;
};

}  // namespace zarn
