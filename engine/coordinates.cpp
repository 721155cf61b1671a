#include "engine/coordinates.h"

#include "engine/document.h"
#include "errortrap/convert.h"
#include "errortrap/trap.h"
#include "platform/print_surface.h"

namespace zarn {

int32_t ResolveX(const PrintState& s, int32_t x) {
  if (x < 0) return s.LastX;
  return AddLong(AddLong(x, s.OriginX), s.MarginLeft);
}

int32_t ResolveY(const PrintState& s, int32_t y) {
  if (y < 0) return s.LastY;
  return AddLong(AddLong(y, s.OriginY), s.MarginTop);
}

int16_t SFX(Engine& e, int32_t x) {
  Trap trap(Proc::SFX);
  trap.Step([&] { e.state.OriginX = x; });
  trap.Step([&] { e.state.LastX = e.state.OriginX; });
  return kTrue;
}

int16_t SFY(Engine& e, int32_t y) {
  Trap trap(Proc::SFY);
  trap.Step([&] { e.state.OriginY = y; });
  trap.Step([&] { e.state.LastY = e.state.OriginY; });
  return kTrue;
}

int16_t SFXR(Engine& e, int32_t dx) {
  Trap trap(Proc::SFXR);
  trap.Step([&] { e.state.OriginX = AddLong(e.state.LastX, dx); });
  trap.Step([&] { e.state.LastX = e.state.OriginX; });
  return kTrue;
}

int16_t SFYR(Engine& e, int32_t dy) {
  Trap trap(Proc::SFYR);
  PrintState& s = e.state;
  trap.Step([&] { s.OriginY = AddLong(s.LastY, dy); });
  trap.Step([&] { s.LastY = s.OriginY; });
  if (s.LastY > s.PageBottom) {
    trap.Step([&] { s.LastY = s.MarginTop; });
    trap.Step([&] { s.OriginY = 0; });
    trap.Step([&] { NewPage(e); });
    if (e.PageBroken) e.PageBroken();
  }
  return kTrue;
}

int16_t FixPos(Engine& e, const QString& text, int32_t x, int32_t width, const QString& align) {
  Trap trap(Proc::FixPos);
  int16_t result = 0;
  float w = 0;
  if (align == u"C") {
    trap.Step([&] { w = e.surface.TextWidth(text); });
    trap.Step([&] { result = RoundToShort(static_cast<double>(x) + (static_cast<double>(width) - w) / 2); });
  } else if (align == u"R") {
    trap.Step([&] { w = e.surface.TextWidth(text); });
    trap.Step([&] { result = RoundToShort(static_cast<double>(x) + (static_cast<double>(width) - w)); });
  }
  return result;
}

}  // namespace zarn
