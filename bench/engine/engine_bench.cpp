// The interpreter's speed on a mixed script, and the growth of gradients and
// word wrap with their size. Everything draws on the recording surface with
// recording off, so the figures are the engine's own cost.
#include <benchmark/benchmark.h>

#include <QString>
#include <QStringList>

#include "engine/document.h"
#include "engine/drawing.h"
#include "engine/interpreter.h"
#include "engine/pictures.h"
#include "engine/text.h"
#include "tests/support/engine_fixture.h"

namespace zarn {
namespace {

using testing::EngineFixture;

struct QuietEngine : EngineFixture {
  QuietEngine() {
    surface.recording = false;
    StartDoc(engine, "P", "A4", 1);
  }
};

// A typical document's lines, cycled; every line of the table runs, none fails.
const char* const kMixedLines[] = {
    "SF|Arial|10|0|0",
    "SFC|#102030",
    "MRG|100|200",
    "SFY|1000",
    "PT|100|200|Invoice 2024 &at; shop|0|0|L|0",
    "PT|100|200|Total|2000|0|R|0",
    "MXT|3000|Amount|1500|0|C|0",
    "DL|0|0|5000|0|10|#000000",
    "DB|0|0|1000|400|10|5|#FF0000|1",
    "DB|0|0|1000|400|0|5|#FF0000|0",
    "SFYR|200",
    "SPR|a plain line",
    "SFX|500",
    "PDFNAME|2024|invoice",
    "#REPRINT",
    "  sd |not a command",
};

QString MixedScript(int lines) {
  QString script;
  const int kinds = static_cast<int>(std::size(kMixedLines));
  for (int i = 0; i < lines; ++i) {
    script += QLatin1String(kMixedLines[i % kinds]);
    script += QStringLiteral("\r\n");
  }
  return script;
}

void BM_MixedScript(benchmark::State& state) {
  QuietEngine f;
  const int lines = static_cast<int>(state.range(0));
  const QString script = MixedScript(lines);
  for (auto _ : state) ExecutePrintScript(f.engine, script, 0, 0);
  state.counters["lines/s"] = benchmark::Counter(static_cast<double>(lines) * state.iterations(),
                                                 benchmark::Counter::kIsRate);
  if (!f.trap.Errors().isEmpty()) state.SkipWithError("the script raised errors");
}
BENCHMARK(BM_MixedScript)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// One line of n characters: the tokenising must stay linear.
void BM_LongLine(benchmark::State& state) {
  QuietEngine f;
  const qsizetype n = state.range(0);
  QString line = QStringLiteral("SPR|");
  line += QString(n - line.size(), u'x');
  for (auto _ : state) ExecutePrintScript(f.engine, line, 0, 0);
  state.counters["s/char"] = benchmark::Counter(static_cast<double>(n) * state.iterations(),
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LongLine)->Arg(1000000)->Arg(10000000)->Unit(benchmark::kMillisecond);

void BM_Gradient(benchmark::State& state) {
  QuietEngine f;
  const int32_t length = static_cast<int32_t>(state.range(0));
  for (auto _ : state) DrawGradient(f.engine, "#000000", "#FFFFFF", 1, 0, 0, 5000, length);
  state.counters["s/segment"] = benchmark::Counter(static_cast<double>(length + 1) * state.iterations(),
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_Gradient)->Arg(10000)->Arg(20000)->Unit(benchmark::kMicrosecond);

// Words of two to nine letters, as in running text.
QString Prose(qsizetype n) {
  static const char* const kWords[] = {"the", "invoice", "of", "December", "shows", "twelve", "items", "at",
                                       "their", "agreed", "price", "including", "tax"};
  QString text;
  for (int i = 0; text.size() < n; ++i) {
    text += QLatin1String(kWords[i % std::size(kWords)]);
    text += u' ';
  }
  text.truncate(n);
  return text;
}

// The wrap itself. Its positions are 16-bit, so one text holds at most 32767
// characters: 16,000 and 32,000 are measured.
void BM_SplitLines(benchmark::State& state) {
  QuietEngine f;
  const QString text = Prose(state.range(0));
  for (auto _ : state) benchmark::DoNotOptimize(SplitLines(f.engine, text, 5000));
  state.counters["s/char"] = benchmark::Counter(static_cast<double>(text.size()) * state.iterations(),
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_SplitLines)->Arg(16000)->Arg(32000)->Unit(benchmark::kMicrosecond);

// A 50,000 or 100,000-character text printed as wrapped "PT" paragraphs of
// 10,000 characters each: wrap, area fit and printing together.
void BM_WrapText(benchmark::State& state) {
  QuietEngine f;
  const qsizetype total = state.range(0);
  const QString paragraph = Prose(10000);
  for (auto _ : state)
    for (qsizetype done = 0; done < total; done += paragraph.size())
      PrintText(f.engine, 0, 0, paragraph, 5000, 1000000, "L", 1, "-");
  state.counters["s/char"] = benchmark::Counter(static_cast<double>(total) * state.iterations(),
                                                 benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  if (!f.trap.Errors().isEmpty()) state.SkipWithError("wrapping raised errors");
}
BENCHMARK(BM_WrapText)->Arg(50000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zarn

BENCHMARK_MAIN();
