#pragma once
// Lines and boxes; gradients and pictures are in engine/pictures.h.
#include <QString>
#include <cstdint>

#include "engine/engine.h"

namespace zarn {

void DrawLine(Engine& e, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t lineWidth,
              const QString& colour, int32_t lineStyle);
void DrawBox(Engine& e, int32_t x, int32_t y, int32_t width, int32_t height, int32_t cornerPercent,
             int32_t borderWidth, const QString& colour, int16_t fill, int32_t lineStyle);

}  // namespace zarn
