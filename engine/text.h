#pragma once
// Text output: at the surface's position, into an area at X on the last line,
// or into an area at X, Y (optionally relative to the last text).
#include <QString>
#include <QStringList>
#include <cstdint>

#include "engine/engine.h"

namespace zarn {

int16_t SimplePrint(Engine& e, const QString& text);
int16_t MoveXText(Engine& e, int32_t x, QString text, int32_t width, int32_t height, const QString& align,
                  int32_t wrap);
int16_t PrintText(Engine& e, int32_t x, int32_t y, QString text, int32_t width, int32_t height,
                  const QString& align, int32_t wrap, const QString& mode);
// Fits text into width x height: cut short (wrap 0) or word-wrapped.
QStringList FixTextArea(Engine& e, QString text, int32_t width, int32_t height, int32_t wrap);
// The word wrap.
QStringList SplitLines(Engine& e, const QString& text, int32_t width);

}  // namespace zarn
