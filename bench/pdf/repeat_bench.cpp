// Records per second of a mail merge (40-line template, four fields) through
// ParsePrint, at 1,000 and 10,000 records; equal rates at both sizes show that
// the work grows linearly with the records. The second argument picks the
// template: 0 the text-heavy letter, 1 the invoice of text, rules and boxes.
#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include "bench/pdf/repeat_script.h"
#include "engine/parse_print.h"
#include "pdf/pdf_output.h"
#include "platform/pdf_writer_printer.h"
#include "platform/qt_print_surface.h"
#include "tests/support/engine_fixture.h"

namespace zarn {
namespace {

// On the recording surface with recording off: the cost of the repeat runner
// and the interpreter alone, without any drawing.
void BM_RepeatOnRecordingSurface(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const QString script = bench::RepeatScript(records);
  for (auto _ : state) {
    testing::EngineFixture f;
    f.surface.recording = false;
    ParsePrint(f.engine, script, kFalse);
    if (!f.trap.Errors().isEmpty()) state.SkipWithError("the script raised errors");
  }
  state.SetItemsProcessed(state.iterations() * records);
}
BENCHMARK(BM_RepeatOnRecordingSurface)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Into a real PDF file through our PDF writer printer: one document, one page
// per record, written when the final RPTED ends it.
void BM_RepeatIntoPdf(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  const QString script = bench::RepeatScript(records, static_cast<bench::Layout>(state.range(1)));
  double bytes = 0;
  for (auto _ : state) {
    testing::ScopedTrapHost trap;
    QTemporaryDir base;
    PdfWriterPrinter writer([](const QString&) {}, base.path() + "/documents", &trap.clock);
    QtPrintSurface surface(writer, {}, {});
    testing::FakePictureLoader pictures;
    RunLog log;
    Engine engine(surface, surface, log, trap.dialogs, trap.files, pictures, trap.clock);
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
BENCHMARK(BM_RepeatIntoPdf)
    ->ArgsProduct({{1000, 10000}, {0, 1}})
    ->ArgNames({"records", "invoice"})
    ->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace zarn

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
