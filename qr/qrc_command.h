#pragma once
// The QRC command: the QR code of a text as a bitmap file beside the program,
// placed on the page by DrawImage.
//
// It runs inside the interpreter's trap step and has no trap of its own: a
// failure (no picture for a text too long, a file that cannot be written)
// raises ZarnError to that trap.
#include <QString>
#include <algorithm>
#include <cstdint>
#include <functional>

#include "engine/engine.h"
#include "errortrap/convert.h"
#include "errortrap/error.h"
#include "platform/qr_canvas.h"

namespace zarn {

// The settings the command makes its pictures with: black, 30 twips a module,
// level low to start from, versions 1 to 40, the mask chosen by the encoder,
// the level raised while the data still fits.
inline constexpr uint32_t kQrcColour = 0;
inline constexpr int32_t kQrcModuleSize = 30;
inline constexpr int32_t kQrcLevel = 0;
inline constexpr int32_t kQrcMinVersion = 1;
inline constexpr int32_t kQrcMaxVersion = 40;
inline constexpr int32_t kQrcMask = -1;
inline constexpr bool kQrcBoost = true;

// The canvas used to be a fixed box of 1665 twips, 111 pixels at 96 dpi, too
// few for large symbols. It is now a whole number of pixels per module, at
// least 4 and enough to keep at least that old size.
inline constexpr int32_t kQrcMinCanvasPixels = kQrCanvasTwips * 96 / 1440;
inline constexpr int32_t kQrcMinPixelsPerModule = 4;

// Side in pixels of the canvas for a picture `modules` module sizes across
// (the symbol's n plus one for the white margin); modules is 1 or more.
inline int32_t QrCanvasPixels(int32_t modules) {
  if (modules < 1) Raise(RuntimeError::InvalidArgument);
  const int32_t perModule = std::max(kQrcMinPixelsPerModule, (kQrcMinCanvasPixels + modules - 1) / modules);
  return MulLong(perModule, modules);
}

// The file the command writes: programFolder + "/qrcode.bmp".
QString QrcFilePath(const Engine& e);

// text empty: nothing happens, 0. Otherwise: make the picture, let the window
// process events, draw it on the canvas, process events, save the canvas as
// "qrcode.bmp" in the program folder (replacing the old one), process events,
// and return DrawImage's result for that file at the place, which is asked for
// only then (it may raise). processEvents may be empty.
int16_t RunQrc(Engine& e, QrCanvas& canvas, const std::function<void()>& processEvents, const QString& text,
               const std::function<PicturePlace()>& place);

}  // namespace zarn
