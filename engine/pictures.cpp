#include "engine/pictures.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "engine/coordinates.h"
#include "engine/drawing.h"
#include "engine/fonts.h"
#include "errortrap/convert.h"
#include "errortrap/error.h"
#include "errortrap/trap.h"
#include "platform/file_system.h"
#include "platform/print_surface.h"

namespace zarn {

namespace {

struct Rgb {
  int32_t c[3];  // red, green, blue
};

Rgb Split(uint32_t colour) {
  return {{static_cast<int32_t>(colour % 256), static_cast<int32_t>((colour / 256) & 255),
           static_cast<int32_t>((colour / 65536) & 255)}};
}

}  // namespace

void DrawGradient(Engine& e, const QString& colour1, const QString& colour2, int32_t direction, int32_t x,
                  int32_t y, int32_t width, int32_t height) {
  Trap trap(Proc::DrawGradient);
  PrintSurface& surface = e.surface;
  const PrintState& s = e.state;
  trap.Step([&] { x = ResolveX(s, x); });
  trap.Step([&] { y = ResolveY(s, y); });
  uint32_t c1 = 0, c2 = 0;
  trap.Step([&] { c1 = HTML2RGB(colour1); });
  trap.Step([&] { c2 = HTML2RGB(colour2); });
  const Rgb from = Split(c1), to = Split(c2);

  const bool down = direction == 1;
  const int32_t length = down ? height : width;
  const int32_t first = down ? y : x;
  // The far edge of the segments and the last running coordinate; when either
  // leaves the 32-bit range nothing can be drawn.
  int32_t last = 0, far = 0;
  if (!trap.Step([&] { last = AddLong(first, length); })) return;
  if (!trap.Step([&] { far = down ? AddLong(x, width) : AddLong(y, height); })) return;

  float step[3] = {0, 0, 0};
  for (int i = 0; i < 3; ++i) {
    trap.Step([&] {
      if (length == 0) Raise(RuntimeError::DivisionByZero);
      float v = static_cast<float>(std::abs(from.c[i] - to.c[i]) / static_cast<double>(length));
      if (to.c[i] < from.c[i]) v = -v;
      step[i] = v;
    });
  }

  // One segment per twip suits any paper; a run far longer than a page (a
  // mistyped or hostile length) would draw, and store in a PDF, lines nobody
  // can see. Segments outside the page are left out; the others keep their
  // place and colour.
  int64_t pageEnd = 0;
  trap.Step([&] { pageEnd = static_cast<int64_t>(down ? surface.PageHeight() : surface.PageWidth()); });
  const int64_t lowest = std::max<int64_t>(first, -kGradientOverhangTwips);
  const int64_t highest = std::min<int64_t>(last, pageEnd + kGradientOverhangTwips);
  for (int64_t p = lowest; p <= highest; ++p) {
    const double k = static_cast<double>(p - first);
    uint32_t colour = 0;
    trap.Step([&] {
      int32_t part[3];
      for (int i = 0; i < 3; ++i) part[i] = RoundToLong(from.c[i] + k * static_cast<double>(step[i]));
      colour = static_cast<uint32_t>(part[0] + 256 * part[1] + 65536 * part[2]);
    });
    const float at = static_cast<float>(p);
    trap.Step([&] {
      if (down) surface.Line(static_cast<float>(x), at, static_cast<float>(far), at, colour, LineKind::Segment);
      else surface.Line(at, static_cast<float>(y), at, static_cast<float>(far), colour, LineKind::Segment);
    });
  }
}

int16_t GetFile(Engine& e, const QString& url, const QString& filePath) {
  Trap trap(Proc::GetFile);
  int16_t result = kFalse;
  trap.Step([&] {
    if (e.DownloadFile) result = e.DownloadFile(url, filePath);
  });
  return result;
}

int16_t DrawImage(Engine& e, const QString& filePath, int32_t x, int32_t y, int32_t width, int32_t height) {
  Trap trap(Proc::DrawImage);
  const PrintState& s = e.state;
  trap.Step([&] { x = ResolveX(s, x); });
  trap.Step([&] { y = ResolveY(s, y); });
  const int16_t result = kTrue;
  // Where a download of this run put the file, or the path itself.
  const QString path = e.LocalPath ? e.LocalPath(filePath) : filePath;
  bool found = false;
  trap.Step([&] { found = e.files.IsFile(path); });
  if (!found) return result;
  PictureHandle picture;
  trap.Step([&] { picture = e.pictures.Load(path); });
  // A file that did not load (its error already reported) has nothing to paint.
  if (!picture) return result;
  if (e.Drawn && width >= 1 && height >= 1) e.Drawn(x, y, width, height, {});
  trap.Step([&] {
    if (width >= 1 && height >= 1)
      e.surface.PaintPicture(*picture, static_cast<float>(x), static_cast<float>(y), static_cast<float>(width),
                             static_cast<float>(height));
    else
      e.surface.PaintPicture(*picture, static_cast<float>(x), static_cast<float>(y));
  });
  return result;
}

}  // namespace zarn
