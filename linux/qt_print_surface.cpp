#include "linux/qt_print_surface.h"

#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGlyphRun>
#include <QHash>
#include <QPageLayout>
#include <QPainter>
#include <QPainterPath>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QBuffer>
#include <QRawFont>
#include <QSaveFile>
#include <QSet>
#include <QTextLayout>
#include <algorithm>
#include <array>
#include <cmath>
#include <list>
#include <map>
#include <optional>
#include <unordered_map>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include "errortrap/error.h"
#include "errortrap/exception_guard.h"
#include "platform/file_system.h"
#include "platform/printer_object.h"
#include "linux/page_images.h"
#include "linux/paint_queue.h"
#include "linux/pdf_writer_printer.h"
#include "linux/qt_picture.h"
#include "linux/segment_run.h"
#include "qt/real_file_system.h"

namespace zarn {

namespace {

constexpr double kTwipsPerInch = 1440;
constexpr int kPdfWriterDpi = 600;
constexpr double kMaxFontPoints = 2160;
constexpr int32_t kPrinterError = 482;  // the classic "Printer error"

[[noreturn]] void RaisePrinterError() {
  throw ZarnError(kPrinterError, QStringLiteral("zarn"), QStringLiteral("Printer error"));
}

// The classic paper size codes the surface knows.
struct PaperRow {
  int16_t code;
  QPageSize::PageSizeId id;
};
constexpr std::array kPapers{
    PaperRow{1, QPageSize::Letter},       PaperRow{3, QPageSize::Tabloid},
    PaperRow{4, QPageSize::Ledger},       PaperRow{5, QPageSize::Legal},
    PaperRow{6, QPageSize::Statement},    PaperRow{7, QPageSize::ExecutiveStandard},
    PaperRow{8, QPageSize::A3},           PaperRow{9, QPageSize::A4},
    PaperRow{11, QPageSize::A5},          PaperRow{12, QPageSize::JisB4},
    PaperRow{13, QPageSize::JisB5},       PaperRow{20, QPageSize::Envelope10},
    PaperRow{27, QPageSize::EnvelopeDL},  PaperRow{28, QPageSize::EnvelopeC5},
};

// Dash patterns of DrawStyle 1 to 4, in twips: dash, dot, dash-dot, dash-dot-dot.
const std::array<QList<qreal>, 4> kDashes{
    QList<qreal>{180, 60}, QList<qreal>{30, 30}, QList<qreal>{120, 45, 30, 45},
    QList<qreal>{120, 30, 30, 30, 30, 30}};

constexpr int16_t kSolid = 0, kInvisible = 5, kInsideSolid = 6;    // DrawStyle
constexpr int16_t kFillSolid = 0, kFillTransparent = 1;             // FillStyle

// FillStyle 2 to 7: horizontal, vertical, upward and downward diagonal, cross, diagonal cross.
constexpr std::array kHatches{Qt::HorPattern, Qt::VerPattern, Qt::BDiagPattern, Qt::FDiagPattern,
                              Qt::CrossPattern, Qt::DiagCrossPattern};

QColor ColourOf(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

// Calls f(line) for each line of the text (CR LF, CR or LF end a line).
template <typename F>
void ForEachTextLine(const QString& text, F&& f) {
  const QChar* s = text.constData();
  const qsizetype n = text.size();
  qsizetype start = 0;
  for (qsizetype i = 0; i < n; ++i) {
    if (s[i] != u'\r' && s[i] != u'\n') continue;
    f(QString::fromRawData(s + start, i - start));
    if (s[i] == u'\r' && i + 1 < n && s[i + 1] == u'\n') ++i;
    start = i + 1;
  }
  f(start == 0 ? text : QString::fromRawData(s + start, n - start));
}

qsizetype TextLineCount(const QString& text) {
  qsizetype lines = 0;
  ForEachTextLine(text, [&](const QString&) { ++lines; });
  return lines;
}

// Characters that a one-line QTextLayout treats otherwise than
// QPainter::drawText and QFontMetricsF do: line and paragraph separators break
// its line, and U+009C ends the part QFontMetricsF measures. Lines holding
// them, and very long lines, are drawn and measured the plain way and never
// cached.
constexpr qsizetype kMaxShapedLine = 512;
bool Shapeable(const QString& line) {
  if (line.size() > kMaxShapedLine) return false;
  for (const QChar c : line) {
    if (c == QChar::LineSeparator || c == QChar::ParagraphSeparator || c == u'\x9c') return false;
  }
  return true;
}

constexpr double kPi = 3.14159265358979323846;

// Qt's PDF engine allocates and frees its page buffers and zlib's state on
// every page; glibc would hand that memory back to the system each time and
// fault it in again on the next page, a tenth of the time of a text-heavy
// page. Freed memory is kept for reuse instead: up to 64 MB of it stays with
// the process, which ends after its job.
void KeepFreedMemoryForReuse() {
#ifdef __GLIBC__
  static const bool done = [] {
    mallopt(M_TRIM_THRESHOLD, 64 << 20);
    mallopt(M_MMAP_THRESHOLD, 32 << 20);  // glibc's largest; zlib's state then comes from the heap
    return true;
  }();
  (void)done;
#endif
}

// A font as the script describes it, in twips at the device's resolution.
// The painting thread makes its own font from it: fonts belong to the thread
// that resolved them.
struct FontDescription {
  QString name;
  double pointSize = 10;
  bool bold = false, italic = false;

  QFont Make() const {
    QFont f(name);
    f.setPointSizeF(pointSize);
    f.setBold(bold);
    f.setItalic(italic);
    f.setHintingPreference(QFont::PreferNoHinting);
    return f;
  }
};

// A text line ready to draw on the painting thread: its glyphs as shaped in
// the primary font of its font. A line with glyphs from fallback fonts, or one
// that could not be shaped the cached way, has no runs and is drawn from its
// text.
struct LineGlyphs {
  struct Run {
    QList<quint32> glyphs;
    QList<QPointF> positions;
    QGlyphRun::GlyphRunFlags flags;
  };
  QString text;
  std::vector<Run> runs;
  double ascent = 0;  // of the shaped line, which may hold fallback fonts; 0 unshaped
};

// A raw font's face and size, by which two threads know they have the same.
QString FaceOf(const QRawFont& raw) {
  return QStringLiteral("%1|%2|%3").arg(raw.familyName(), raw.styleName()).arg(raw.pixelSize());
}

// Draws a line in the document's font number font, its baseline at the given point.
void DrawLine(PaintQueue::Target& t, int font, const LineGlyphs& g, QPointF baseline) {
  PaintQueue::Target::Font& f = t.fonts[font];
  if (!g.runs.empty()) {
    if (!f.raw.isValid()) {
      // Glyph numbers only carry over when this thread resolves the same face.
      f.raw = QRawFont::fromFont(QFont(f.font, t.painter.device()));
      f.sameFace = FaceOf(f.raw) == f.face;
    }
    if (f.sameFace) {
      QGlyphRun run;
      run.setRawFont(f.raw);
      for (const LineGlyphs::Run& r : g.runs) {
        run.setGlyphIndexes(r.glyphs);
        run.setPositions(r.positions);
        run.setFlags(r.flags);
        t.painter.drawGlyphRun(baseline - QPointF(0, g.ascent), run);
      }
      return;
    }
  }
  t.painter.setFont(f.font);
  t.painter.drawText(baseline, g.text);
}

// A page's size and orientation: the whole page on the PDF writer, within the
// printer's own margins on CUPS.
void ApplyLayout(QPagedPaintDevice& device, bool pdf, const QPageSize& size, QPageLayout::Orientation orientation) {
  if (pdf) {
    device.setPageLayout(QPageLayout(size, orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
  } else {
    device.setPageOrientation(orientation);
    device.setPageSize(size);
  }
}

}  // namespace

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

  // CUPS: the printer, kept for metrics and every document. PDF writer: a
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
  QString queueTitle;  // the open document's name in a CUPS queue

  QFont font;
  std::optional<QFontMetricsF> metrics;
  // Fonts used on this printer so far, so switching back and forth (bold
  // labels, plain values) does not rebuild them.
  struct FontEntry {
    int id;  // never reused on this printer
    FontDescription description;
    QFont font;
    QFontMetricsF metrics;
    QRawFont primary{};  // the font's own face at the device's size, once text is drawn
    QString face;        // FaceOf(primary)
  };
  std::map<QString, FontEntry> fonts;
  FontEntry* fontEntry = nullptr;
  int fontIds = 0;
  QSet<int> documentFonts;  // the fonts the painting side knows in the open document

  // Text lines shaped once in a font: the engine measures a text and then
  // prints it, and templates print the same labels on every page, so shaping
  // (the costly part of text on Qt's PDF engine) is done once for both. A
  // laid-out line draws item by item as drawText does, so the page content is
  // the same. The most recently used lines are kept, a bounded number.
  struct Shaped {
    std::unique_ptr<QTextLayout> layout;  // one line, laid out and kept shaped
    double width = 0;                     // QFontMetricsF::horizontalAdvance of the line
    double ascent = 0;                    // of the line, which may hold fallback fonts
    std::shared_ptr<const LineGlyphs> glyphs;  // once the line is drawn
  };
  struct ShapedKey {
    const FontEntry* font;
    QString text;
    bool operator==(const ShapedKey& o) const { return font == o.font && text == o.text; }
  };
  struct ShapedKeyHash {
    size_t operator()(const ShapedKey& k) const { return qHash(k.text, reinterpret_cast<size_t>(k.font)); }
  };
  static constexpr size_t kShapedLines = 256;
  std::list<std::pair<ShapedKey, Shaped>> shapedOrder;  // most recent first
  std::unordered_map<ShapedKey, decltype(shapedOrder)::iterator, ShapedKeyHash> shaped;

  QPrinter& Printer() {
    if (!printer) {
      const QPrinterInfo info = QPrinterInfo::printerInfo(name);
      if (info.isNull()) RaisePrinterError();
      printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
    }
    return *printer;
  }

  QPaintDevice& MetricsDevice() {
    if (!pdf) return Printer();
    if (!metricsWriter) {
      metricsBuffer = std::make_unique<QBuffer>();
      metricsWriter = std::make_unique<QPdfWriter>(metricsBuffer.get());
      metricsWriter->setResolution(kPdfWriterDpi);
    }
    return *metricsWriter;
  }

  double Dpi() { return pdf ? kPdfWriterDpi : Printer().resolution(); }
  double TwipsPerDot() { return kTwipsPerInch / Dpi(); }

  // The font in twips: measured with the printer's own metrics and drawn
  // under the painter's twips transform at its true size.
  const QFontMetricsF& Metrics() {
    if (!metrics) {
      const QString key = QStringLiteral("%1|%2|%3|%4").arg(fontName).arg(fontSize).arg(bold).arg(italic);
      auto it = fonts.find(key);
      if (it == fonts.end()) {
        const FontDescription description{fontName, fontSize * kTwipsPerInch / Dpi(), bold, italic};
        // Resolved for the device once: a layout then shares this font's
        // engine instead of looking it up in the font database every time.
        const QFont f(description.Make(), &MetricsDevice());
        if (fonts.size() >= 64) {
          ClearShaped();
          fonts.clear();
        }
        it = fonts.emplace(key, FontEntry{fontIds++, description, f, QFontMetricsF(f, &MetricsDevice()), {}, {}}).first;
      }
      font = it->second.font;
      fontEntry = &it->second;
      metrics.emplace(it->second.metrics);
    }
    return *metrics;
  }

  void ClearShaped() {
    shaped.clear();
    shapedOrder.clear();
  }

  // The line shaped in the current font (call Metrics() first); the line must
  // be Shapeable.
  Shaped& Shape(const QString& line) {
    ShapedKey key{fontEntry, line};
    if (auto hit = shaped.find(key); hit != shaped.end()) {
      shapedOrder.splice(shapedOrder.begin(), shapedOrder, hit->second);
      return hit->second->second;
    }
    // A copy that owns its characters: the line may be a view into the caller's text.
    key.text = QString(line.constData(), line.size());
    Shaped s;
    s.layout = std::make_unique<QTextLayout>(key.text, font, &MetricsDevice());
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setTextDirection(Qt::LeftToRight);  // as the painter's default layout direction
    option.setAlignment(Qt::AlignLeft | Qt::AlignAbsolute);
    s.layout->setTextOption(option);
    s.layout->setCacheEnabled(true);
    s.layout->beginLayout();
    const QTextLine textLine = s.layout->createLine();
    s.layout->endLayout();
    if (textLine.isValid()) {
      s.width = textLine.horizontalAdvance();
      s.ascent = textLine.ascent();
    }
    if (shapedOrder.size() >= kShapedLines) {
      shaped.erase(shapedOrder.back().first);
      shapedOrder.pop_back();
    }
    shapedOrder.emplace_front(key, std::move(s));
    shaped.emplace(std::move(key), shapedOrder.begin());
    return shapedOrder.front().second;
  }

  // The current font with its primary face resolved (call Metrics() first).
  const FontEntry& Primary() {
    FontEntry& entry = *fontEntry;
    if (!entry.primary.isValid()) {
      entry.primary = QRawFont::fromFont(entry.font);
      entry.face = FaceOf(entry.primary);
    }
    return entry;
  }

  // The current font's number in the open document (call Metrics() and
  // Open() first); the painting side makes its own font from the description
  // the first time, as fonts belong to the thread that resolved them.
  int DocumentFont() {
    const FontEntry& entry = Primary();
    if (!documentFonts.contains(entry.id)) {
      documentFonts.insert(entry.id);
      queue.Post([id = entry.id, description = entry.description, face = entry.face](PaintQueue::Target& t) {
        t.fonts.insert(id, {description.Make(), face});
        return true;
      });
    }
    return entry.id;
  }

  // The glyphs of a text line for the painting thread, from its shaping in the
  // current font (call Metrics() first); text without a cached shape is drawn
  // from its characters.
  std::shared_ptr<const LineGlyphs> Glyphs(const QString& line) {
    if (!Shapeable(line)) {
      auto g = std::make_shared<LineGlyphs>();
      g->text = QString(line.constData(), line.size());
      return g;
    }
    Shaped& s = Shape(line);
    if (s.glyphs) return s.glyphs;
    auto g = std::make_shared<LineGlyphs>();
    g->text = QString(line.constData(), line.size());
    g->ascent = s.ascent;
    const FontEntry& entry = Primary();
    const QList<QGlyphRun> runs = s.layout->lineAt(0).glyphRuns();
    const bool primaryOnly = std::all_of(runs.begin(), runs.end(), [&](const QGlyphRun& r) {
      return r.rawFont() == entry.primary;
    });
    if (primaryOnly && entry.primary.isValid()) {
      for (const QGlyphRun& r : runs) g->runs.push_back({r.glyphIndexes(), r.positions(), r.flags()});
    }
    s.glyphs = g;
    return g;
  }

  QPagedPaintDevice& Paged() {
    if (pdf) return *writer;
    return *printer;
  }

  void Begin(PdfWriterPrinter& pdfWriter) {
    if (pdf) {
      KeepFreedMemoryForReuse();
      target = pdfWriter.NextDocument();
      if (*previewDpi > 0) {
        // Named as a file would be, so settings and errors are the same; the
        // name it claimed is not kept.
        RemoveEmptyFile(target.path);
        images = std::make_unique<PageImages>(*previewDpi, kPdfWriterDpi);
      } else {
        file = std::make_unique<QSaveFile>(target.path);
        if (!file->open(QIODevice::WriteOnly)) {
          file.reset();
          Raise(QFileInfo(target.path).dir().exists() ? RuntimeError::PathFileAccess : RuntimeError::PathNotFound);
        }
        writer = std::make_unique<QPdfWriter>(file.get());
        writer->setResolution(kPdfWriterDpi);
        writer->setCreator(QStringLiteral("zarn"));
        writer->setTitle(QFileInfo(target.path).completeBaseName());
      }
    } else {
      Printer().setCopyCount(std::max(1, copies));
      const QString docName = title && *title ? (*title)() : QString();
      queueTitle = docName.isEmpty() ? QStringLiteral("zarn") : docName;
      printer->setDocName(queueTitle);
    }
    auto painter = std::make_unique<QPainter>();
    if (!images) ApplyLayout(Paged(), pdf, pageSize, orientation);
    if (images ? !images->Begin(*painter, ImageTwips()) : !painter->begin(&Paged())) {
      painter.reset();
      Discard();
      if (pdf) Raise(RuntimeError::PathFileAccess);
      RaisePrinterError();
    }
    if (pdf) pdfWriter.DocumentStarted();
    if (!images) painter->setWorldTransform(QTransform::fromScale(Dpi() / kTwipsPerInch, Dpi() / kTwipsPerInch));
    queue.Begin(std::move(painter), pdf);
    documentFonts.clear();
    pen.reset();
    brush.reset();
    pendingBreaks = 0;
    pages = 1;
  }

  // Drops a document that cannot be completed; its file never replaces anything.
  void Discard() {
    run = SegmentRun();
    if (queue.Active()) queue.Abandon();
    writer.reset();
    images.reset();
    file.reset();  // an uncommitted QSaveFile removes its temporary file
    // Nor does the empty file that claimed a time-stamped name stay behind.
    if (pdf && !target.path.isEmpty()) RemoveEmptyFile(target.path);
  }

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
  void DrawRun() {
    const std::optional<SegmentRun::Band> band = run.Take();
    if (!band) return;
    if (!band->rect) {
      Use(band->pen);
      Draw([line = band->line](QPainter& painter) { painter.drawLine(line); });
      return;
    }
    const QBrush fill(band->pen.color());
    Use(band->pen, &fill);
    Draw([rect = *band->rect](QPainter& painter) { painter.drawRect(rect); });
  }

  // The next page, in the page settings of now when apply is set.
  void NewPage(bool apply) {
    ++pages;
    const bool ok = images ? queue.Post([images = images.get(), size = apply ? ImageTwips() : QSizeF()](
                                            PaintQueue::Target& t) { return images->Next(t.painter, size); })
                           : queue.Post([device = &Paged(), apply, pdf = pdf, size = pageSize, o = orientation](
                                            PaintQueue::Target&) {
                               if (apply) ApplyLayout(*device, pdf, size, o);
                               return device->newPage();
                             });
    if (!ok) RaisePrinterError();
  }

  double PenWidth() { return std::max<int16_t>(1, drawWidth) * TwipsPerDot(); }

  // The line pen in a colour; the last one is kept, as a gradient asks for
  // it once per segment and changes colour only now and then. The reference
  // holds until the next call.
  struct LinePen {
    uint32_t colour;
    int16_t width, style;
    QPen pen;
  };
  std::optional<LinePen> linePen;
  const QPen& Pen(uint32_t colour) {
    if (linePen && linePen->colour == colour && linePen->width == drawWidth && linePen->style == drawStyle)
      return linePen->pen;
    QPen pen(Qt::NoPen);
    if (drawStyle != kInvisible) {
      const double w = PenWidth();
      pen = QPen(ColourOf(colour), w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
      if (drawStyle >= 1 && drawStyle <= 4 && drawWidth <= 1) {
        QList<qreal> pattern = kDashes[drawStyle - 1];
        for (qreal& v : pattern) v /= w;  // Qt counts dashes in pen widths
        pen.setDashPattern(pattern);
        pen.setCapStyle(Qt::FlatCap);
      }
    }
    linePen = LinePen{colour, drawWidth, drawStyle, pen};
    return linePen->pen;
  }

  QBrush FillBrush() const {
    if (fillStyle == kFillSolid) return QBrush(ColourOf(fillColor));
    if (fillStyle >= 2 && fillStyle <= 7) return QBrush(ColourOf(fillColor), kHatches[fillStyle - 2]);
    return QBrush(Qt::NoBrush);
  }

  // Half the line inside the outline for style 6, as the classic inside frame.
  double Inset() { return drawStyle == kInsideSolid ? PenWidth() / 2 : 0; }
};

QtPrintSurface::QtPrintSurface(PdfWriterPrinter& pdfWriter) : pdfWriter_(pdfWriter), askCups_(true) {}

QtPrintSurface::QtPrintSurface(PdfWriterPrinter& pdfWriter, const QStringList& cupsPrinters,
                               const QString& defaultPrinter)
    : pdfWriter_(pdfWriter) {
  Init(cupsPrinters, defaultPrinter);
}

std::vector<std::unique_ptr<QtPrintSurface::Device>>& QtPrintSurface::Devices() const {
  if (askCups_) {
    askCups_ = false;
    Init(QPrinterInfo::availablePrinterNames(), QPrinterInfo::defaultPrinterName());
  }
  return devices_;
}

void QtPrintSurface::Init(const QStringList& cupsPrinters, const QString& defaultPrinter) const {
  auto add = [this](const QString& name, bool pdf) {
    auto d = std::make_unique<Device>();
    d->name = name;
    d->pdf = pdf;
    d->title = &documentTitle_;
    d->previewDpi = &previewDpi_;
    d->dc = static_cast<int32_t>(0x5A000 + 0x10 * devices_.size());
    devices_.push_back(std::move(d));
  };
  for (const QString& name : cupsPrinters) add(name, false);
  add(PdfWriterPrinter::Name(), true);
  current_ = static_cast<int>(devices_.size()) - 1;
  const int def = static_cast<int>(cupsPrinters.indexOf(defaultPrinter));
  if (!defaultPrinter.isEmpty() && def >= 0) current_ = def;
}

QtPrintSurface::~QtPrintSurface() {
  // Pending output is sent, as when the program ends with a job open. A list
  // never asked for has no documents.
  for (int i = 0; i < static_cast<int>(devices_.size()); ++i) {
    if (!devices_[i]->queue.Active()) continue;
    current_ = i;
    try {
      EndDoc();
    } catch (...) {
      devices_[i]->Discard();
    }
  }
}

void QtPrintSurface::FinishAll() {
  const int was = Current();
  for (int i = 0; i < Count(); ++i) {
    if (i == was || !devices_[i]->queue.Active()) continue;
    current_ = i;
    try {
      EndDoc();
    } catch (...) {
      current_ = was;
      throw;
    }
  }
  current_ = was;
  EndDoc();
}

int QtPrintSurface::Current() const {
  Devices();
  return current_;
}

QtPrintSurface::Device& QtPrintSurface::Cur() const { return *Devices()[current_]; }

QString QtPrintSurface::DeviceName() const { return Cur().name; }

void QtPrintSurface::SetOrientation(int16_t orientation) {
  if (orientation != 1 && orientation != 2) Raise(RuntimeError::InvalidArgument);
  Cur().orientation = orientation == 2 ? QPageLayout::Landscape : QPageLayout::Portrait;
}

void QtPrintSurface::SetPaperSize(int16_t paperSize) {
  const auto row = std::find_if(kPapers.begin(), kPapers.end(), [&](const PaperRow& r) { return r.code == paperSize; });
  if (row == kPapers.end()) Raise(RuntimeError::InvalidArgument);
  Cur().pageSize = QPageSize(row->id);
}

void QtPrintSurface::SetCopies(int16_t copies) { Cur().copies = std::max<int16_t>(1, copies); }

void QtPrintSurface::SetFormSize(const QString& formName, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0) Raise(RuntimeError::InvalidArgument);
  Cur().pageSize = QPageSize(QSizeF(width / 1000.0, height / 1000.0), QPageSize::Millimeter, formName,
                             QPageSize::ExactMatch);
}

void QtPrintSurface::SetPageOpenFlag(bool open) { Cur().pageOpenFlag = open; }

int32_t QtPrintSurface::DeviceContext() const { return Cur().dc; }

void QtPrintSurface::Print(const QString& text) {
  Device& d = Cur();
  const QFontMetricsF& m = d.Metrics();
  d.Open(pdfWriter_);
  d.Use(QPen(ColourOf(d.foreColor)));
  const int font = d.DocumentFont();
  double x = d.x, y = d.y;
  ForEachTextLine(text, [&](const QString& line) {
    if (!line.isEmpty()) {
      // A shaped line draws from its own baseline, as drawText does; the sums
      // are exact, as all metrics are multiples of 1/64.
      d.queue.Post([font, g = d.Glyphs(line), baseline = QPointF(x, y + m.ascent())](PaintQueue::Target& t) {
        DrawLine(t, font, *g, baseline);
        return true;
      });
    }
    x = 0;
    y += m.lineSpacing();
  });
  d.x = 0;
  d.y = static_cast<float>(y);
}

void QtPrintSurface::SetCurrentX(float x) { Cur().x = x; }
void QtPrintSurface::SetCurrentY(float y) { Cur().y = y; }
float QtPrintSurface::CurrentX() const { return Cur().x; }
float QtPrintSurface::CurrentY() const { return Cur().y; }

float QtPrintSurface::TextWidth(const QString& text) {
  Device& d = Cur();
  const QFontMetricsF& m = d.Metrics();
  double w = 0;
  ForEachTextLine(text, [&](const QString& line) {
    w = std::max(w, Shapeable(line) ? d.Shape(line).width : m.horizontalAdvance(line));
  });
  return static_cast<float>(w);
}

float QtPrintSurface::TextHeight(const QString& text) {
  return static_cast<float>(Cur().Metrics().lineSpacing() * TextLineCount(text));
}

namespace {
// Font changes rebuild the metrics only when the value changes.
template <typename T>
void SetFontValue(T& field, const T& value, std::optional<QFontMetricsF>& metrics) {
  if (field == value) return;
  field = value;
  metrics.reset();
}
}  // namespace

void QtPrintSurface::SetFontName(const QString& name) { SetFontValue(Cur().fontName, name, Cur().metrics); }
void QtPrintSurface::SetFontSize(float points) {
  SetFontValue(Cur().fontSize, std::clamp<float>(points, 1, kMaxFontPoints), Cur().metrics);
}
void QtPrintSurface::SetFontBold(bool bold) { SetFontValue(Cur().bold, bold, Cur().metrics); }
void QtPrintSurface::SetFontItalic(bool italic) { SetFontValue(Cur().italic, italic, Cur().metrics); }
void QtPrintSurface::SetForeColor(uint32_t colour) { Cur().foreColor = colour; }
void QtPrintSurface::SetDrawWidth(int16_t width) { Cur().drawWidth = width; }
void QtPrintSurface::SetDrawStyle(int16_t style) { Cur().drawStyle = style >= 0 && style <= 6 ? style : kSolid; }
void QtPrintSurface::SetFillStyle(int16_t style) {
  Cur().fillStyle = style >= 0 && style <= 7 ? style : kFillTransparent;
}
void QtPrintSurface::SetFillColor(uint32_t colour) { Cur().fillColor = colour; }

void QtPrintSurface::Line(float x1, float y1, float x2, float y2, uint32_t colour, LineKind kind) {
  Device& d = Cur();
  if (kind == LineKind::Segment) {
    const QPen& pen = d.Pen(colour);
    const QLineF line(x1, y1, x2, y2);
    if (segmentRuns_ && d.run.Continue(line, pen)) return;
    if (segmentRuns_ && SegmentRun::Joins(pen)) {
      d.Open(pdfWriter_);  // draws the run before
      d.run.Start(line, pen);
      return;
    }
    d.Open(pdfWriter_);
    d.Use(pen);
    d.Draw([line](QPainter& painter) { painter.drawLine(line); });
    return;
  }
  QPen pen = d.Pen(colour);
  d.Open(pdfWriter_);
  pen.setJoinStyle(Qt::MiterJoin);
  const QBrush brush = kind == LineKind::FilledBox ? QBrush(ColourOf(colour)) : d.FillBrush();
  const double in = d.Inset();
  d.Use(pen, &brush);
  d.Draw([box = QRectF(QPointF(x1, y1), QPointF(x2, y2)).normalized().adjusted(in, in, -in, -in)](
             QPainter& painter) { painter.drawRect(box); });
}

void QtPrintSurface::Circle(float x, float y, float radius, uint32_t colour) {
  Device& d = Cur();
  const double r = std::max(0.0, std::abs(radius) - d.Inset());
  d.Open(pdfWriter_);
  const QBrush brush = d.FillBrush();
  d.Use(d.Pen(colour), &brush);
  d.Draw([centre = QPointF(x, y), r](QPainter& painter) { painter.drawEllipse(centre, r, r); });
}

void QtPrintSurface::Arc(float x, float y, float radius, uint32_t colour, float start, float end) {
  Device& d = Cur();
  // A negative angle also draws the radius to that end, as the classic Circle does.
  const double a = std::fmod(std::abs(double(start)), 2 * kPi) * 180 / kPi;
  const double b = std::fmod(std::abs(double(end)), 2 * kPi) * 180 / kPi;
  double span = b - a;
  if (span <= 0) span += 360;  // counter-clockwise from start round to end; equal angles close the circle
  const double r = std::abs(radius);
  const QRectF box(x - r, y - r, 2 * r, 2 * r);
  QPainterPath path;
  if (start < 0) {
    path.moveTo(x, y);
    path.arcTo(box, a, 0);
  } else {
    path.arcMoveTo(box, a);
  }
  path.arcTo(box, a, span);
  if (end < 0) path.lineTo(x, y);
  d.Open(pdfWriter_);
  const QBrush none(Qt::NoBrush);
  d.Use(d.Pen(colour), &none);
  d.Draw([path](QPainter& painter) { painter.drawPath(path); });
}

namespace {
const QtPicture& AsQtPicture(const Picture& picture) {
  const auto* qt = dynamic_cast<const QtPicture*>(&picture);
  if (!qt) Raise(RuntimeError::InvalidPicture);
  return *qt;
}
}  // namespace

void QtPrintSurface::PaintPicture(const Picture& picture, float x, float y) {
  const QtPicture& pic = AsQtPicture(picture);
  PaintPicture(picture, x, y, static_cast<float>(pic.SizeInTwips().width()),
               static_cast<float>(pic.SizeInTwips().height()));
}

void QtPrintSurface::PaintPicture(const Picture& picture, float x, float y, float width, float height) {
  const QtPicture& pic = AsQtPicture(picture);
  Device& d = Cur();
  d.Open(pdfWriter_);
  d.Draw([image = pic.image(), lossless = !pic.lossy(), box = QRectF(x, y, width, height)](QPainter& painter) {
    painter.setRenderHint(QPainter::LosslessImageRendering, lossless);
    painter.drawImage(box, image);
  });
}

void QtPrintSurface::NewPage() {
  Device& d = Cur();
  if (d.queue.Active()) {
    d.DrawRun();
    ++d.pendingBreaks;
  }
  d.PageTurned();
}

void QtPrintSurface::EndDoc() {
  Device& d = Cur();
  d.DocumentEnded();
  if (!d.queue.Active()) return;
  d.DrawRun();
  // Page breaks not followed by output: all but the last leave blank pages.
  for (; d.pendingBreaks > 1; --d.pendingBreaks) d.NewPage(false);
  d.pendingBreaks = 0;
  const bool ended = d.queue.End();
  if (const uint32_t fault = d.queue.Fault()) {
    // A writer stopped by a machine exception is left as it is; its unfinished file goes.
    (void)d.writer.release();
    (void)d.images.release();
    d.file.reset();
    throw MachineException(fault);
  }
  if (!d.pdf) {
    if (!ended) RaisePrinterError();
    sent_.append(d.Printed());
    return;
  }
  if (d.images) {
    if (!ended) Raise(RuntimeError::PathFileAccess);
    sent_.append(d.Printed());
    const QList<QByteArray> pages = d.images->Take();
    d.images.reset();
    if (previewDocument_) previewDocument_(pages);
    return;
  }
  d.writer.reset();
  const bool committed = ended && d.file->commit();
  d.file.reset();
  if (!committed) Raise(RuntimeError::PathFileAccess);
  sent_.append(d.Printed());
  pdfWriter_.DocumentFinished(d.target);
}

QList<PrintedDocument> QtPrintSurface::Documents() const {
  QList<PrintedDocument> all = sent_;
  for (const auto& d : devices_)
    if (d->queue.Active()) all.append(d->Printed());
  return all;
}

int QtPrintSurface::Count() const { return static_cast<int>(Devices().size()); }

QString QtPrintSurface::DeviceName(int index) const {
  if (index < 0 || index >= Count()) Raise(RuntimeError::SubscriptOutOfRange);
  return devices_[index]->name;
}

void QtPrintSurface::Select(int index) {
  if (index < 0 || index >= Count()) Raise(RuntimeError::SubscriptOutOfRange);
  current_ = index;
  Device& d = Cur();
  d.Selected();
  d.metrics.reset();
}

void QtPrintSurface::PaintPdfWriterOnImages(int dpi, PreviewDocument document) {
  previewDpi_ = dpi;
  previewDocument_ = std::move(document);
}

float QtPrintSurface::PageWidth() const { return static_cast<float>(Cur().PageTwips().width()); }

float QtPrintSurface::PageHeight() const { return static_cast<float>(Cur().PageTwips().height()); }

void QtPrintSurface::DiscardAll() {
  for (auto& d : devices_) {
    if (!d->queue.Active()) continue;
    if (!d->pdf && d->printer) d->printer->abort();
    d->Discard();
  }
}

}  // namespace zarn
