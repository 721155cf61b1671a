#include "engine/fonts.h"

#include "errortrap/convert.h"
#include "errortrap/trap.h"
#include "platform/print_surface.h"

namespace zarn {

uint32_t HTML2RGB(const QString& code) {
  Trap trap(Proc::HTML2RGB);
  uint32_t result = 0;
  trap.Step([&] {
    QString digits = code;
    digits.remove(u'#');
    const QStringView v(digits);
    const uint32_t red = ReadHex(v.mid(0, 2));
    const uint32_t green = ReadHex(v.mid(std::min<qsizetype>(2, v.size()), 2));
    const uint32_t blue = ReadHex(v.mid(std::min<qsizetype>(4, v.size()), 2));
    result = red + 256 * green + 65536 * blue;
  });
  return result;
}

int16_t SetFont(Engine& e, const QString& name, int32_t size, int32_t bold, int32_t italic) {
  Trap trap(Proc::SetFont);
  // The face before the size, so a face change never overrides the size.
  trap.Step([&] { e.surface.SetFontName(name); });
  trap.Step([&] { e.surface.SetFontSize(static_cast<float>(size)); });
  trap.Step([&] { e.surface.SetFontBold(bold != 0); });
  trap.Step([&] { e.surface.SetFontItalic(italic != 0); });
  return kTrue;
}

int16_t SetForeColor(Engine& e, const QString& code) {
  Trap trap(Proc::SetForeColor);
  trap.Step([&] { e.surface.SetForeColor(HTML2RGB(code)); });
  return kTrue;
}

}  // namespace zarn
