#include "engine/drawing.h"

#include <algorithm>
#include <cstdlib>

#include "engine/coordinates.h"
#include "engine/fonts.h"
#include "errortrap/convert.h"
#include "errortrap/trap.h"
#include "platform/print_surface.h"

namespace zarn {

namespace {

// This value of pi, not a more precise one: the arcs' end angles depend on it.
constexpr double kPi = 3.14159265;

float Radians(int degrees) { return static_cast<float>(kPi / 180 * degrees); }
float F(int32_t v) { return static_cast<float>(v); }

}  // namespace

void DrawLine(Engine& e, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t lineWidth,
              const QString& colour, int32_t lineStyle) {
  Trap trap(Proc::DrawLine);
  PrintSurface& surface = e.surface;
  const PrintState& s = e.state;
  trap.Step([&] { x1 = ResolveX(s, x1); });
  trap.Step([&] { y1 = ResolveY(s, y1); });
  trap.Step([&] { x2 = ResolveX(s, x2); });
  trap.Step([&] { y2 = ResolveY(s, y2); });
  uint32_t c = 0;
  trap.Step([&] { c = HTML2RGB(colour); });
  trap.Step([&] { surface.SetDrawStyle(ToShort(lineStyle)); });
  trap.Step([&] { surface.SetDrawWidth(ToShort(lineWidth)); });
  trap.Step([&] { surface.Line(F(x1), F(y1), F(x2), F(y2), c, LineKind::Segment); });
  if (e.Drawn) e.Drawn(std::min(x1, x2), std::min(y1, y2), std::abs(double(x2) - x1), std::abs(double(y2) - y1), {});
}

void DrawBox(Engine& e, int32_t x, int32_t y, int32_t width, int32_t height, int32_t cornerPercent,
             int32_t borderWidth, const QString& colour, int16_t fill, int32_t lineStyle) {
  Trap trap(Proc::DrawBox);
  PrintSurface& surface = e.surface;
  const PrintState& s = e.state;
  const int32_t w = width, h = height;
  trap.Step([&] { x = ResolveX(s, x); });
  trap.Step([&] { y = ResolveY(s, y); });
  trap.Step([&] { surface.SetDrawStyle(ToShort(lineStyle)); });
  uint32_t c = 0;
  trap.Step([&] { c = HTML2RGB(colour); });

  // Corner and end points are 32-bit sums taken inside each step, so an
  // overflow drops just that one call.
  const int64_t X = x, Y = y, W = w, H = h;
  if (e.Drawn) e.Drawn(x, y, w, h, {});
  if (cornerPercent <= 0) {
    if (fill > 0)
      trap.Step([&] { surface.Line(F(x), F(y), F(AddLong(X, W)), F(AddLong(Y, H)), c, LineKind::FilledBox); });
    if (borderWidth > 0) {
      trap.Step([&] { surface.SetDrawWidth(ToShort(borderWidth)); });
      trap.Step([&] { surface.Line(F(x), F(y), F(AddLong(X, W)), F(AddLong(Y, H)), c, LineKind::BoxOutline); });
    }
    return;
  }

  int32_t r = 0;
  trap.Step([&] {
    const int32_t shorter = w > h ? h : w;
    r = RoundToLong(static_cast<double>(shorter) / 100 * cornerPercent);
  });
  const int64_t R = r;
  auto left = [&] { return F(AddLong(X, R)); };                 // x + r
  auto right = [&] { return F(AddLong(AddLong(X, W), -R)); };   // x + w - r
  auto top = [&] { return F(AddLong(Y, R)); };                  // y + r
  auto bottom = [&] { return F(AddLong(AddLong(Y, H), -R)); };  // y + h - r

  if (fill > 0) {
    trap.Step([&] { surface.SetFillStyle(0); });
    trap.Step([&] { surface.SetFillColor(c); });
    trap.Step([&] { surface.Line(F(x), top(), F(AddLong(X, W)), bottom(), c, LineKind::FilledBox); });
    trap.Step([&] { surface.Line(left(), F(y), right(), F(AddLong(Y, H)), c, LineKind::FilledBox); });
    trap.Step([&] { surface.Circle(left(), top(), F(r), c); });
    trap.Step([&] { surface.Circle(right(), top(), F(r), c); });
    trap.Step([&] { surface.Circle(left(), bottom(), F(r), c); });
    trap.Step([&] { surface.Circle(right(), bottom(), F(r), c); });
  }
  if (borderWidth > 0) {
    trap.Step([&] { surface.SetDrawWidth(ToShort(borderWidth)); });
    trap.Step([&] { surface.Line(F(x), top(), F(x), bottom(), c, LineKind::Segment); });
    trap.Step([&] { surface.Line(left(), F(y), right(), F(y), c, LineKind::Segment); });
    trap.Step([&] {
      const float lower = F(AddLong(Y, H));
      surface.Line(left(), lower, right(), lower, c, LineKind::Segment);
    });
    trap.Step([&] {
      const float outer = F(AddLong(X, W));
      surface.Line(outer, top(), outer, bottom(), c, LineKind::Segment);
    });
    trap.Step([&] { surface.Arc(left(), top(), F(r), c, Radians(90), Radians(180)); });
    trap.Step([&] { surface.Arc(right(), top(), F(r), c, Radians(0), Radians(90)); });
    trap.Step([&] { surface.Arc(left(), bottom(), F(r), c, Radians(180), Radians(270)); });
    trap.Step([&] { surface.Arc(right(), bottom(), F(r), c, Radians(270), Radians(360)); });
  }
}

}  // namespace zarn
