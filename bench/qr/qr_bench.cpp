// Cost of a QR code picture per symbol version: the library's encoding, our
// outline tracing, the whole picture maker, and drawing on the canvas.
// run.sh checks that tracing costs less than encoding the same symbol.
#include <benchmark/benchmark.h>

#include "qr/qr_code.h"
#include "qr/qrc_command.h"
#include "qt/qt_qr_canvas.h"

namespace zarn {
namespace {

// A text that fills about half of the version at level low, in byte mode.
QString TextFor(int version) {
  const int bytes[] = {0, 17, 0, 0, 0, 0, 0, 0, 0, 0, 271};
  const int n = version == 40 ? 2953 : bytes[version];
  QString t;
  for (int i = 0; t.size() < n / 2; ++i) t += QStringLiteral("item %1; ").arg(i);
  return t.left(n / 2);
}

void BM_LibraryEncode(benchmark::State& state) {
  const int v = static_cast<int>(state.range(0));
  const std::vector<qrcodegen::QrSegment> segs{MakeQrSegment(TextFor(v))};
  for (auto _ : state) {
    qrcodegen::QrCode code = qrcodegen::QrCode::encodeSegments(segs, qrcodegen::QrCode::Ecc::LOW, v, v, -1, true);
    benchmark::DoNotOptimize(code);
  }
}

void BM_TraceOutlines(benchmark::State& state) {
  const int v = static_cast<int>(state.range(0));
  const QrSymbol symbol = *EncodeQrText(TextFor(v), 0, v, v, -1, true);
  for (auto _ : state) {
    VertexGrid grid = MarkOutlineEdges(symbol);
    OutlineLists lists = TraceOutlines(grid, kQrcModuleSize);
    benchmark::DoNotOptimize(lists);
  }
}

void BM_CreateQrPicture(benchmark::State& state) {
  const int v = static_cast<int>(state.range(0));
  const QString text = TextFor(v);
  for (auto _ : state) {
    std::optional<QrPicture> pic = CreateQrPicture(text, kQrcColour, kQrcModuleSize, 0, v, v, -1, true);
    benchmark::DoNotOptimize(pic);
  }
}

void BM_CanvasDraw(benchmark::State& state) {
  const int v = static_cast<int>(state.range(0));
  const QrPicture pic = *CreateQrPicture(TextFor(v), kQrcColour, kQrcModuleSize, 0, v, v, -1, true);
  QtQrCanvas canvas;
  const int32_t pixels = QrCanvasPixels(pic.side / pic.moduleSize);
  for (auto _ : state) canvas.Draw(pic, pixels);
}

BENCHMARK(BM_LibraryEncode)->Arg(1)->Arg(10)->Arg(40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_TraceOutlines)->Arg(1)->Arg(10)->Arg(40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CreateQrPicture)->Arg(1)->Arg(10)->Arg(40)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_CanvasDraw)->Arg(1)->Arg(10)->Arg(40)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace zarn

BENCHMARK_MAIN();
