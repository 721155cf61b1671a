// The sample invoice (examples/scripts/invoice.txt, its logo from the
// examples folder) into a PDF through the real engine and surface, alone and
// as a mail merge of 1,000 invoices into one document, with its header band
// drawn as segment runs (runs:1) and as one line per segment (runs:0). Each
// iteration runs the script and completes the PDF; CPU time is the process's,
// the PDF writer's painting thread included. Counters: PDF bytes per page and
// the content stream bytes per page (as stored, compressed; fonts and
// pictures are objects of their own and left out). bench/gradient/run.sh
// compares the two ways.
#include <benchmark/benchmark.h>

#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <map>

#include "tests/support/gui_app.h"
#include "tests/support/script_pdf.h"

namespace zarn {
namespace {

// The invoice as the template of a merge: its number from the record, no
// document of its own (SD would finish the one before, ED its own), a page
// break instead; the RPTED after the last record ends the one document.
QString MergedInvoices(int records) {
  QString script = testing::SampleInvoice(ZARN_EXAMPLES);
  script.replace("2026-0042", "#NO#");
  script.remove(QRegularExpression("^SD\\|[^\r\n]*\r?\n", QRegularExpression::MultilineOption));
  script.replace(QRegularExpression("^ED(?=\r?$)", QRegularExpression::MultilineOption), "NP");
  script += "RPTFLD|#NO#|\r\nrecords follow\r\n";
  for (int r = 0; r < records; ++r) script += QStringLiteral("RPTDT|2026-%1|\r\n").arg(r, 4, 10, QChar(u'0'));
  return script + "RPTED\r\n";
}

// Stored bytes of each page's content stream.
std::vector<qint64> ContentStreamBytes(const QByteArray& pdf) {
  const QString text = QString::fromLatin1(pdf);
  std::map<QString, qsizetype> objects;  // number -> where its body starts
  static const QRegularExpression object("\n(\\d+) 0 obj\\s*");
  for (auto it = object.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch m = it.next();
    objects[m.captured(1)] = m.capturedEnd();
  }
  auto body = [&](const QString& number) {
    const auto at = objects.find(number);
    return at == objects.end() ? QString() : text.mid(at->second, 64);
  };
  std::vector<qint64> out;
  static const QRegularExpression contents("/Type /Page\n[^>]*?/Contents (\\d+) 0 R");
  static const QRegularExpression length("/Length (\\d+)( 0 R)?");
  for (auto it = contents.globalMatch(text); it.hasNext();) {
    const QRegularExpressionMatch l = length.match(body(it.next().captured(1)));
    const QString bytes = l.captured(2).isEmpty() ? l.captured(1) : body(l.captured(1)).section(u'\n', 0, 0);
    out.push_back(bytes.trimmed().toLongLong());
  }
  return out;
}

void BM_Invoices(benchmark::State& state) {
  testing::EnsureGuiApp();
  const int records = static_cast<int>(state.range(0));
  const bool runs = state.range(1) != 0;
  const QString script = records == 0 ? testing::SampleInvoice(ZARN_EXAMPLES) : MergedInvoices(records);
  QByteArray pdf;
  for (auto _ : state) {
    QTemporaryDir dir;
    QStringList errors;
    const QString path = testing::ScriptToPdf(script, dir.path(), runs, errors);
    state.PauseTiming();
    QFile file(path);
    if (!errors.isEmpty() || !file.open(QIODevice::ReadOnly)) {
      state.SkipWithError("no PDF, or errors");
      break;
    }
    pdf = file.readAll();
    state.ResumeTiming();
  }
  const std::vector<qint64> content = ContentStreamBytes(pdf);
  if (content.empty()) return state.SkipWithError("no pages in the PDF");
  double sum = 0;
  for (const qint64 bytes : content) sum += static_cast<double>(bytes);
  state.counters["pages"] = static_cast<double>(content.size());
  state.counters["pdf_bytes_per_page"] = static_cast<double>(pdf.size()) / content.size();
  state.counters["content_bytes_per_page"] = sum / content.size();
}
void ByRecordsAndRuns(benchmark::internal::Benchmark* b) {
  b->ArgNames({"records", "runs"})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime();
}
BENCHMARK(BM_Invoices)->ArgsProduct({{0}, {0, 1}})->Apply(ByRecordsAndRuns)->MinTime(2);
BENCHMARK(BM_Invoices)->ArgsProduct({{1000}, {0, 1}})->Apply(ByRecordsAndRuns)->Iterations(1);

}  // namespace
}  // namespace zarn

BENCHMARK_MAIN();
