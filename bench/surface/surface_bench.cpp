// One invoice page into a PDF file three ways: QPainter straight on a
// QPdfWriter (the floor), the same primitives through QtPrintSurface on our
// PDF writer printer, and the same page as a print script through the engine.
// Each iteration writes and completes one file. bench/surface/run.sh compares
// them (the surface's overhead over the floor should stay under 15 %).
#include <benchmark/benchmark.h>

#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include "engine/engine.h"
#include "engine/interpreter.h"
#include "engine/run_log.h"
#include "linux/startup.h"
#include "qt/pdf_writer_printer.h"
#include "qt/qt_picture.h"
#include "qt/qt_print_surface.h"
#include "qt/real_file_system.h"
#include "tests/support/fakes.h"

namespace zarn {
namespace {

// The invoice, as data: 60 texts, 20 boxes, a gradient of 100 segments, a logo.
struct Text {
  float x, y;
  bool bold;
  QString text;
};
struct Box {
  float x, y, w, h;
  uint32_t colour;
  bool filled;
};
struct Invoice {
  std::vector<Text> texts;
  std::vector<Box> boxes;
  float gradientX = 1000, gradientY = 500, gradientH = 600;
  int segments = 100;
  QImage logo;
  QString logoPath;
  float logoX = 8000, logoY = 300, logoW = 2880, logoH = 1440;
};

const Invoice& TheInvoice() {
  static const Invoice inv = [] {
    Invoice v;
    for (int i = 0; i < 60; ++i)
      v.texts.push_back({1000.0f + (i % 3) * 3200.0f, 2500.0f + (i / 3) * 500.0f, i % 3 == 0,
                         i % 3 == 0 ? QStringLiteral("Item %1: delivery of goods").arg(i / 3 + 1)
                                    : QStringLiteral("%1.%2 EUR").arg(i * 37).arg(i % 100, 2, 10, QChar('0'))});
    for (int i = 0; i < 20; ++i)
      v.boxes.push_back({800.0f + (i % 4) * 2600.0f, 13000.0f + (i / 4) * 600.0f, 2400, 500,
                         static_cast<uint32_t>(0x203040 + i * 0x050301), i % 2 == 0});
    v.logo = QImage(200, 100, QImage::Format_RGB32);
    for (int y = 0; y < 100; ++y)
      for (int x = 0; x < 200; ++x) v.logo.setPixelColor(x, y, QColor(x, y * 2, 128));
    return v;
  }();
  return inv;
}

QColor ColourOf(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

void EnsureApp() {
  if (QGuiApplication::instance()) return;
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "bench_surface";
  static char* argv[] = {name, nullptr};
  new QGuiApplication(argc, argv);
}

// The floor: the same drawing straight on a QPdfWriter, in twips at 600 dpi.
void BM_InvoiceFloor(benchmark::State& state) {
  EnsureApp();
  const Invoice& inv = TheInvoice();
  QTemporaryDir dir;
  const QString path = dir.filePath("floor.pdf");
  for (auto _ : state) {
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    QPdfWriter writer(&file);
    writer.setResolution(600);
    writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF()));
    QPainter p(&writer);
    p.setWorldTransform(QTransform::fromScale(600 / 1440.0, 600 / 1440.0));
    QFont plain("Arial"), bold("Arial");
    plain.setPointSizeF(10 * 1440 / 600.0);
    bold.setPointSizeF(10 * 1440 / 600.0);
    bold.setBold(true);
    const QFontMetricsF mPlain(plain, &writer), mBold(bold, &writer);
    p.setPen(Qt::black);
    for (const Text& t : inv.texts) {
      p.setFont(t.bold ? bold : plain);
      p.drawText(QPointF(t.x, t.y + (t.bold ? mBold : mPlain).ascent()), t.text);
    }
    for (const Box& b : inv.boxes) {
      p.setPen(QPen(ColourOf(b.colour), 10 * 2.4, Qt::SolidLine, Qt::RoundCap, Qt::MiterJoin));
      p.setBrush(b.filled ? QBrush(ColourOf(b.colour)) : QBrush(Qt::NoBrush));
      p.drawRect(QRectF(b.x, b.y, b.w, b.h));
    }
    for (int k = 0; k < inv.segments; ++k) {
      p.setPen(QPen(QColor(k * 255 / (inv.segments - 1), 0, 0), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
      p.drawLine(QPointF(inv.gradientX + k, inv.gradientY), QPointF(inv.gradientX + k, inv.gradientY + inv.gradientH));
    }
    p.setRenderHint(QPainter::LosslessImageRendering);
    p.drawImage(QRectF(inv.logoX, inv.logoY, inv.logoW, inv.logoH), inv.logo);
    p.end();
  }
}
BENCHMARK(BM_InvoiceFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2)->Repetitions(3);

void Aim(PdfWriterPrinter& writer, const QString& path) {
  auto s = writer.CreatePDFSettings();
  s->setPrintername(PdfWriterPrinter::Name());
  s->setValue("Output", path);
  s->setValue("ConfirmOverwrite", "no");
  s->WriteSettings(false);  // standing: every document goes there
}

void BM_InvoiceSurface(benchmark::State& state) {
  EnsureApp();
  const Invoice& inv = TheInvoice();
  QTemporaryDir dir;
  PdfWriterPrinter writer({}, dir.path());
  Aim(writer, dir.filePath("surface.pdf"));
  QtPrintSurface s(writer, {}, {});
  const QtPicture logo(inv.logo);
  for (auto _ : state) {
    s.SetFontName("Arial");
    s.SetFontSize(10);
    s.SetForeColor(0);
    for (const Text& t : inv.texts) {
      s.SetFontBold(t.bold);
      s.SetCurrentX(t.x);
      s.SetCurrentY(t.y);
      s.Print(t.text);
    }
    s.SetDrawStyle(0);
    s.SetDrawWidth(10);
    for (const Box& b : inv.boxes)
      s.Line(b.x, b.y, b.x + b.w, b.y + b.h, b.colour, b.filled ? LineKind::FilledBox : LineKind::BoxOutline);
    s.SetDrawWidth(1);
    for (int k = 0; k < inv.segments; ++k)
      s.Line(inv.gradientX + k, inv.gradientY, inv.gradientX + k, inv.gradientY + inv.gradientH,
             static_cast<uint32_t>(k * 255 / (inv.segments - 1)), LineKind::Segment);
    s.PaintPicture(logo, inv.logoX, inv.logoY, inv.logoW, inv.logoH);
    s.EndDoc();
  }
}
BENCHMARK(BM_InvoiceSurface)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2)->Repetitions(3);

}  // namespace

// The same page as a print script.
QString InvoiceScript(const Invoice& inv, const QString& logoPath) {
  QStringList lines{"SD|P|A4|1", "SF|Arial|10|0|0", "SFC|#000000"};
  bool bold = false;
  for (const Text& t : inv.texts) {
    if (t.bold != bold) {
      bold = t.bold;
      lines << QStringLiteral("SF|Arial|10|%1|0").arg(bold ? 1 : 0);
    }
    lines << QStringLiteral("PT|%1|%2|%3|0|0|L|0").arg(t.x).arg(t.y).arg(t.text);
  }
  for (const Box& b : inv.boxes) {
    const QString colour = QStringLiteral("%1%2%3")
                               .arg(b.colour & 0xFF, 2, 16, QChar('0'))
                               .arg((b.colour >> 8) & 0xFF, 2, 16, QChar('0'))
                               .arg((b.colour >> 16) & 0xFF, 2, 16, QChar('0'));
    lines << QStringLiteral("DB|%1|%2|%3|%4|0|10|#%5|%6").arg(b.x).arg(b.y).arg(b.w).arg(b.h).arg(colour).arg(
        b.filled ? 1 : 0);
  }
  lines << QStringLiteral("DG|#000000|#FF0000|0|%1|%2|%3|%4")
               .arg(inv.gradientX)
               .arg(inv.gradientY)
               .arg(inv.segments - 1)
               .arg(inv.gradientH);
  lines << QStringLiteral("DI|%1|%2|%3|%4|%5").arg(logoPath).arg(inv.logoX).arg(inv.logoY).arg(inv.logoW).arg(inv.logoH);
  lines << "ED";
  return lines.join("\r\n");
}

namespace {

void BM_InvoiceScript(benchmark::State& state) {
  EnsureApp();
  const Invoice& inv = TheInvoice();
  testing::ScopedTrapHost trap;
  QTemporaryDir dir;
  const QString logoPath = dir.filePath("logo.png");
  inv.logo.save(logoPath);
  PdfWriterPrinter writer({}, dir.path());
  Aim(writer, dir.filePath("script.pdf"));
  QtPrintSurface s(writer, {}, {});
  QtPictureLoader pictures;
  RunLog log;
  RealFileSystem files;
  Engine engine(s, s, log, trap.dialogs, files, pictures, trap.clock);
  const QString script = InvoiceScript(inv, logoPath);
  for (auto _ : state) ExecutePrintScript(engine, script, 0, 0);
  if (!trap.Errors().isEmpty()) state.SkipWithError(trap.Errors().join("; ").toStdString().c_str());
}
BENCHMARK(BM_InvoiceScript)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2)->Repetitions(3);

}  // namespace
}  // namespace zarn

// "--write-script FOLDER" writes the invoice script (invoice.txt) and its logo
// there for the whole-process run of run.sh instead of benchmarking.
int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--write-script") {
    zarn::EnsureApp();
    const QString folder = QString::fromLocal8Bit(argv[2]);
    const QString logo = folder + "/logo.png";
    if (!zarn::TheInvoice().logo.save(logo)) return 1;
    QFile f(folder + "/invoice.txt");
    if (!f.open(QIODevice::WriteOnly)) return 1;
    f.write(zarn::InvoiceScript(zarn::TheInvoice(), logo).toUtf8());
    return 0;
  }
  zarn::KeepFreedMemoryForReuse();  // as the programs print
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
