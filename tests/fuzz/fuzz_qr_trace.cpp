// Outline tracing of arbitrary module patterns: first byte the side, the rest
// the modules bit by bit. Checks the polygon rules as it goes.
#include <cstddef>
#include <cstdint>

#include "qr/qr_code.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  zarn::QrSymbol symbol;
  symbol.size = data[0] % 48;
  symbol.dark.assign(static_cast<size_t>(symbol.size) * symbol.size, 0);
  for (size_t i = 0; i < symbol.dark.size(); ++i) {
    const size_t byte = 1 + i / 8;
    symbol.dark[i] = byte < size ? (data[byte] >> (i % 8)) & 1 : 0;
  }
  const int32_t m = 30;
  zarn::VertexGrid grid = zarn::MarkOutlineEdges(symbol);
  const zarn::OutlineLists lists = zarn::TraceOutlines(grid, m);
  for (const auto& v : grid.vertices)
    if (v.Left || v.Up || v.Right || v.Down) __builtin_trap();  // every edge walked
  size_t first = 0, total = 0;
  for (const int32_t count : lists.counts) {
    if (count < 5) __builtin_trap();  // the smallest loop: four corners and the start again
    const auto* p = lists.points.data() + first;
    if (!(p[0] == p[count - 1])) __builtin_trap();  // closed
    for (int32_t k = 2; k < count; ++k) {
      const bool horizontal = p[k - 2].Y == p[k - 1].Y && p[k - 1].Y == p[k].Y;
      const bool vertical = p[k - 2].X == p[k - 1].X && p[k - 1].X == p[k].X;
      if (horizontal || vertical) __builtin_trap();  // only corners are kept
    }
    first += static_cast<size_t>(count);
    total += static_cast<size_t>(count);
  }
  if (total != lists.points.size()) __builtin_trap();
  if (symbol.size > 0) zarn::DrawQrPicture(symbol, 0, m);
  return 0;
}
