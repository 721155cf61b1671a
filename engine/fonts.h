#pragma once
// Colour codes and the text settings of the surface.
#include <QString>
#include <cstdint>

#include "engine/engine.h"

namespace zarn {

// "#RRGGBB" (the "#" optional) to red + 256 * green + 65536 * blue; whatever
// cannot be read counts as 0.
uint32_t HTML2RGB(const QString& code);

int16_t SetFont(Engine& e, const QString& name, int32_t size, int32_t bold, int32_t italic);
int16_t SetForeColor(Engine& e, const QString& code);

}  // namespace zarn
