// Records per second of a mail merge (40-line template, four fields) through
// ParsePrint, at 1,000 and 10,000 records; equal rates at both sizes show that
// the work grows linearly with the records.
#include <benchmark/benchmark.h>

#include "bench/pdf/repeat_script.h"
#include "engine/parse_print.h"
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

}  // namespace
}  // namespace zarn

BENCHMARK_MAIN();
