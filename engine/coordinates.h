#pragma once
// The movable origin, the margins and the last position. Script units are twips.
#include <QString>
#include <cstdint>

#include "engine/engine.h"

namespace zarn {

// A drawing command's X: below 0 it is LastX; otherwise X + OriginX + MarginLeft
// (32-bit, Overflow outside). Raises; callers run it inside their own trap.
int32_t ResolveX(const PrintState& s, int32_t x);
// Y likewise with LastY, OriginY and MarginTop.
int32_t ResolveY(const PrintState& s, int32_t y);

int16_t SFX(Engine& e, int32_t x);
int16_t SFY(Engine& e, int32_t y);
int16_t SFXR(Engine& e, int32_t dx);
// Turns the page when LastY passes PageBottom.
int16_t SFYR(Engine& e, int32_t dy);

// Start X of a text aligned "C" or "R" in [x, x + width); 0 for any other align.
int16_t FixPos(Engine& e, const QString& text, int32_t x, int32_t width, const QString& align);

}  // namespace zarn
