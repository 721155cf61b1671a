// Records per second of a mail merge (40-line template, four fields) through
// ParsePrint, at 1,000 and 10,000 records; equal rates at both sizes show that
// the work grows linearly with the records. The second argument picks the
// template: 0 the letter with fields in every line, 1 the invoice of text,
// rules and boxes, 2 the form letter with fields in five of its lines.
#include <benchmark/benchmark.h>

#include <QBuffer>
#include <QFileInfo>
#include <QGlyphRun>
#include <QApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QTextLayout>

#include "bench/pdf/repeat_script.h"
#include "engine/parse_print.h"
#include "launch/progress_line.h"
#include "linux/startup.h"
#include "pdf/pdf_output.h"
#include "qt/pdf_writer_printer.h"
#include "qt/qt_main_window.h"
#include "qt/qt_print_surface.h"
#include "tests/support/engine_fixture.h"

namespace zarn {
namespace {

// On the recording surface with recording off: the cost of the repeat runner
// and the interpreter alone, without any drawing.
// With progress, the shown window's progress line is told of every record
// and page: its cost against the engine alone.
void RepeatOnRecordingSurface(benchmark::State& state, bool progress) {
  const int records = static_cast<int>(state.range(0));
  const QString script = bench::RepeatScript(records);
  for (auto _ : state) {
    testing::EngineFixture f;
    f.surface.recording = false;
    QtMainWindow window;
    window.ShowAndRepaint();
    ProgressLine line(window, f.surface);
    if (progress) f.engine.Progress = [&] { line.Update(f.engine); };
    ParsePrint(f.engine, script, kFalse);
    if (!f.trap.Errors().isEmpty()) state.SkipWithError("the script raised errors");
  }
  state.SetItemsProcessed(state.iterations() * records);
}
void BM_RepeatOnRecordingSurface(benchmark::State& state) { RepeatOnRecordingSurface(state, false); }
BENCHMARK(BM_RepeatOnRecordingSurface)->Arg(1000)->Arg(10000)->Arg(30000)->Unit(benchmark::kMillisecond)->UseRealTime();
void BM_RepeatOnRecordingSurfaceWithProgress(benchmark::State& state) { RepeatOnRecordingSurface(state, true); }
// 30,000 records take the engine alone past the line's quiet half second.
BENCHMARK(BM_RepeatOnRecordingSurfaceWithProgress)->Arg(30000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Into a real PDF file through our PDF writer printer: one document, one page
// per record, written when the final RPTED ends it. With progress, the
// program's window shows "Record n of m" as the job flow has it do.
void RepeatIntoPdf(benchmark::State& state, int records, bench::Layout layout, bool progress) {
  const QString script = bench::RepeatScript(records, layout);
  double bytes = 0;
  for (auto _ : state) {
    testing::ScopedTrapHost trap;
    QTemporaryDir base;
    PdfWriterPrinter writer([](const QString&) {}, base.path() + "/documents", &trap.clock);
    QtPrintSurface surface(writer, {}, {});
    testing::FakePictureLoader pictures;
    RunLog log;
    Engine engine(surface, surface, log, trap.dialogs, trap.files, pictures, trap.clock);
    // The window is shown either way, as the program shows it.
    QtMainWindow window;
    window.ShowAndRepaint();
    ProgressLine line(window, surface);
    if (progress) engine.Progress = [&] { line.Update(engine); };
    engine.state.PdfFolder = base.path();
    PDFPrinterOn(engine, writer, "merge", "");
    ParsePrint(engine, script, kFalse);
    PDFPrinterOff(engine);
    surface.FinishAll();
    const QFileInfo pdf(base.path() + "/20261208/merge.pdf");
    if (!trap.Errors().isEmpty() || !pdf.isFile()) state.SkipWithError("no PDF, or errors");
    bytes = static_cast<double>(pdf.size());
  }
  state.SetItemsProcessed(state.iterations() * records);
  state.counters["pdf_bytes_per_record"] = bytes / records;
}

void BM_RepeatIntoPdf(benchmark::State& state) {
  RepeatIntoPdf(state, static_cast<int>(state.range(0)), static_cast<bench::Layout>(state.range(1)), false);
}
BENCHMARK(BM_RepeatIntoPdf)
    ->ArgsProduct({{1000, 10000}, {0, 1, 2}})
    ->ArgNames({"records", "template"})
    ->Unit(benchmark::kMillisecond)->UseRealTime();

// The letter at 10,000 records with the window's progress line: within 2 %
// of the same merge without it.
void BM_RepeatIntoPdfWithProgress(benchmark::State& state) {
  RepeatIntoPdf(state, static_cast<int>(state.range(0)), bench::Layout::Letter, true);
}
BENCHMARK(BM_RepeatIntoPdfWithProgress)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The ceiling of any mail merge through Qt's PDF engine: the letter's pages
// with their text shaped beforehand, drawn glyph run by glyph run on one
// QPdfWriter, with nothing else to do. The painting thread of the real
// surface does this and a little more.
void BM_QtPdfEngineAlone(benchmark::State& state) {
  const int pages = static_cast<int>(state.range(0));
  QTemporaryDir base;
  QBuffer metricsBuffer;
  QPdfWriter metrics(&metricsBuffer);
  metrics.setResolution(600);
  QFont font(QStringLiteral("Arial"));
  font.setPointSizeF(10 * 1440.0 / 600);
  font.setHintingPreference(QFont::PreferNoHinting);
  std::vector<std::pair<QPointF, QList<QGlyphRun>>> lines;
  for (int i = 0; i < 37; ++i) {
    const QString text = bench::TextLine(i).section(u'|', 3, 3)
                             .replace("#NAME#", "Name 123").replace("#CITY#", "City 45")
                             .replace("#AMOUNT#", "369.23").replace("#ID#", "R123");
    QTextLayout layout(text, font, &metrics);
    layout.beginLayout();
    const QTextLine line = layout.createLine();
    layout.endLayout();
    lines.emplace_back(QPointF(1000, 1000 + i * 360), line.glyphRuns());
  }
  for (auto _ : state) {
    QPdfWriter writer(base.filePath("alone.pdf"));
    writer.setResolution(600);
    QPainter painter(&writer);
    painter.setWorldTransform(QTransform::fromScale(600 / 1440.0, 600 / 1440.0));
    for (int page = 0; page < pages; ++page) {
      if (page > 0) writer.newPage();
      for (const auto& [at, runs] : lines)
        for (const QGlyphRun& run : runs) painter.drawGlyphRun(at, run);
      painter.drawLine(QLineF(1000, 15000, 10000, 15000));
    }
    painter.end();
  }
  state.SetItemsProcessed(state.iterations() * pages);
}
BENCHMARK(BM_QtPdfEngineAlone)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace zarn

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  zarn::KeepFreedMemoryForReuse();  // as the programs print
  QApplication app(argc, argv);  // widgets: the window of the progress line
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
