#pragma once
// Gradients, downloaded files ("GF") and pictures ("DI").
//
// GetFile hands the download to Engine::DownloadFile, which app/wiring.cpp
// sets to web's DownloadFile (web/web.h): the file lands in the program
// folder, and a DrawImage of the same path reads it there (Engine::LocalPath).
#include <QString>
#include <cstdint>

#include "engine/engine.h"

namespace zarn {

// Gradient segments further than this outside the page (along the gradient)
// are not drawn: an inch, more than half of any pen's width.
inline constexpr int32_t kGradientOverhangTwips = 1440;
void DrawGradient(Engine& e, const QString& colour1, const QString& colour2, int32_t direction, int32_t x,
                  int32_t y, int32_t width, int32_t height);
int16_t GetFile(Engine& e, const QString& url, const QString& filePath);
int16_t DrawImage(Engine& e, const QString& filePath, int32_t x, int32_t y, int32_t width, int32_t height);

}  // namespace zarn
