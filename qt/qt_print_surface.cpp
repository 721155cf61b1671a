#include "qt/qt_print_surface.h"

#include <QPainterPath>
#include <QPrinterInfo>
#include <algorithm>
#include <array>
#include <cmath>

#include "errortrap/error.h"
#include "errortrap/exception_guard.h"
#include "qt/print_device.h"
#include "qt/qt_picture.h"

namespace zarn {

namespace {

constexpr double kMaxFontPoints = 2160;
constexpr double kPi = 3.14159265358979323846;

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

}  // namespace

namespace {
// The paper a printer starts on when it becomes the current printer: the
// spooler's default media for the printer, the PDF writer's own paper (the
// desktop's); A4 when the spooler names none.
QPageSize OwnPaper(const QtPrintSurface::Device& d, const PdfWriterPrinter& pdfWriter) {
  if (d.pdf) return pdfWriter.Paper();
  const QPageSize paper = QPrinterInfo::printerInfo(d.name).defaultPageSize();
  return paper.isValid() ? paper : QPageSize(QPageSize::A4);
}
}  // namespace

QtPrintSurface::QtPrintSurface(PdfWriterPrinter& pdfWriter) : pdfWriter_(pdfWriter), askSpooler_(true) {}

QtPrintSurface::QtPrintSurface(PdfWriterPrinter& pdfWriter, const QStringList& spoolerPrinters,
                               const QString& defaultPrinter)
    : pdfWriter_(pdfWriter) {
  Init(spoolerPrinters, defaultPrinter);
}

std::vector<std::unique_ptr<QtPrintSurface::Device>>& QtPrintSurface::Devices() const {
  if (askSpooler_) {
    askSpooler_ = false;
    Init(QPrinterInfo::availablePrinterNames(), QPrinterInfo::defaultPrinterName());
  }
  return devices_;
}

void QtPrintSurface::Init(const QStringList& spoolerPrinters, const QString& defaultPrinter) const {
  auto add = [this](const QString& name, bool pdf) {
    auto d = std::make_unique<Device>();
    d->name = name;
    d->pdf = pdf;
    d->title = &documentTitle_;
    d->previewDpi = &previewDpi_;
    d->dc = static_cast<int32_t>(0x5A000 + 0x10 * devices_.size());
    devices_.push_back(std::move(d));
  };
  for (const QString& name : spoolerPrinters) add(name, false);
  add(PdfWriterPrinter::Name(), true);
  current_ = static_cast<int>(devices_.size()) - 1;
  const int def = static_cast<int>(spoolerPrinters.indexOf(defaultPrinter));
  if (!defaultPrinter.isEmpty() && def >= 0) current_ = def;
  devices_[current_]->pageSize = OwnPaper(*devices_[current_], pdfWriter_);
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
      d.queue.Post([font, g = d.text.Glyphs(line), baseline = QPointF(x, y + m.ascent())](PaintQueue::Target& t) {
        DrawTextLine(t, font, *g, baseline);
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
    w = std::max(w, Shapeable(line) ? d.text.Shape(line).width : m.horizontalAdvance(line));
  });
  return static_cast<float>(w);
}

float QtPrintSurface::TextHeight(const QString& text) {
  return static_cast<float>(Cur().Metrics().lineSpacing() * TextLineCount(text));
}

namespace {
// Font changes rebuild the metrics only when the value changes.
template <typename T>
void SetFontValue(T& field, const T& value, TextShaper& text) {
  if (field == value) return;
  field = value;
  text.FontChanged();
}
}  // namespace

void QtPrintSurface::SetFontName(const QString& name) { SetFontValue(Cur().fontName, name, Cur().text); }
void QtPrintSurface::SetFontSize(float points) {
  SetFontValue(Cur().fontSize, std::clamp<float>(points, 1, kMaxFontPoints), Cur().text);
}
void QtPrintSurface::SetFontBold(bool bold) { SetFontValue(Cur().bold, bold, Cur().text); }
void QtPrintSurface::SetFontItalic(bool italic) { SetFontValue(Cur().italic, italic, Cur().text); }
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
  d.text.FontChanged();
  // And on its own paper, which an SD with another paper text leaves as it is.
  d.pageSize = OwnPaper(d, pdfWriter_);
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
