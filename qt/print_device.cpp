#include "qt/print_device.h"

#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPrinterInfo>
#include <algorithm>

#include "errortrap/error.h"
#include "qt/real_file_system.h"

namespace zarn {

namespace {

constexpr int32_t kPrinterError = 482;  // the classic "Printer error"

// A page's size and orientation: the whole page on the PDF writer, within the
// printer's own margins on a spooler printer.
void ApplyLayout(QPagedPaintDevice& device, bool pdf, const QPageSize& size, QPageLayout::Orientation orientation) {
  if (pdf) {
    device.setPageLayout(QPageLayout(size, orientation, QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter));
  } else {
    device.setPageOrientation(orientation);
    device.setPageSize(size);
  }
}

}  // namespace

void RaisePrinterError() {
  throw ZarnError(kPrinterError, QStringLiteral("zarn"), QStringLiteral("Printer error"));
}

using Device = QtPrintSurface::Device;

QPrinter& Device::Printer() {
  if (!printer) {
    const QPrinterInfo info = QPrinterInfo::printerInfo(name);
    if (info.isNull()) RaisePrinterError();
    printer = std::make_unique<QPrinter>(info, QPrinter::HighResolution);
  }
  return *printer;
}

QPaintDevice& Device::MetricsDevice() {
  if (!pdf) return Printer();
  if (!metricsWriter) {
    metricsBuffer = std::make_unique<QBuffer>();
    metricsWriter = std::make_unique<QPdfWriter>(metricsBuffer.get());
    metricsWriter->setResolution(kPdfWriterDpi);
  }
  return *metricsWriter;
}

int Device::DocumentFont() {
  const TextShaper::FontEntry& entry = text.Primary();
  if (!documentFonts.contains(entry.id)) {
    documentFonts.insert(entry.id);
    queue.Post([id = entry.id, description = entry.description, face = entry.face](PaintQueue::Target& t) {
      t.fonts.insert(id, {description.Make(), face});
      return true;
    });
  }
  return entry.id;
}

void Device::Begin(PdfWriterPrinter& pdfWriter) {
  if (pdf) {
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

void Device::Discard() {
  run = SegmentRun();
  if (queue.Active()) queue.Abandon();
  writer.reset();
  images.reset();
  file.reset();  // an uncommitted QSaveFile removes its temporary file
  // Nor does the empty file that claimed a time-stamped name stay behind.
  if (pdf && !target.path.isEmpty()) RemoveEmptyFile(target.path);
}

void Device::DrawRun() {
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

void Device::NewPage(bool apply) {
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

}  // namespace zarn
