#pragma once
// Lines and boxes, gradients and pictures.
#include <QString>
#include <cstdint>

#include "engine/engine.h"

namespace zarn {

void DrawLine(Engine& e, int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t lineWidth,
              const QString& colour, int32_t lineStyle);
void DrawBox(Engine& e, int32_t x, int32_t y, int32_t width, int32_t height, int32_t cornerPercent,
             int32_t borderWidth, const QString& colour, int16_t fill, int32_t lineStyle);
// Gradient segments further than this outside the page (along the gradient)
// are not drawn: an inch, more than half of any pen's width.
inline constexpr int32_t kGradientOverhangTwips = 1440;
void DrawGradient(Engine& e, const QString& colour1, const QString& colour2, int32_t direction, int32_t x,
                  int32_t y, int32_t width, int32_t height);
int16_t GetFile(Engine& e, const QString& url, const QString& filePath);
int16_t DrawImage(Engine& e, const QString& filePath, int32_t x, int32_t y, int32_t width, int32_t height);

}  // namespace zarn
