#pragma once
// mdQRCodegen: text to QR code picture.
//
// The symbol comes from the qrcodegen library; our own work is the picture.
// The outlines of the dark modules are traced into closed rectilinear polygons
// that hold only their corner points, and recorded over a white square, so the
// picture scales to any size without blur.
//
// Nothing here traps errors: a bad argument or an overflow raises ZarnError to
// the caller, whose trap reports it. A text too long for the allowed versions
// is no error: it simply has no picture.
#include <QString>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include <qrcodegen/qrcodegen.hpp>

#include "errortrap/error.h"
#include "platform/qr_canvas.h"

namespace zarn {

// n x n modules, n from 21 to 177 for real symbols (any n >= 0 for hand-made
// ones). Module (x, y): x to the right, y downwards, (0, 0) top-left. Outside
// the square every module is light.
struct QrSymbol {
  int32_t size = 0;
  std::vector<uint8_t> dark;  // row by row, 1 dark, 0 light

  bool Dark(int32_t x, int32_t y) const {
    return x >= 0 && y >= 0 && x < size && y < size && dark[static_cast<size_t>(y) * size + x] != 0;
  }
};

// The one segment the text is encoded as: numeric when it is all digits,
// alphanumeric when every character is in "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ
// $%*+-./:" (upper case only), else byte mode with its UTF-8 bytes.
qrcodegen::QrSegment MakeQrSegment(const QString& text);

// The symbol of the text. level: 0 low, 1 medium, 2 quartile, 3 high, the level
// to start from; versions 1 to 40, minVersion <= maxVersion; mask -1 (the
// encoder chooses) or 0 to 7; boost raises the level while the data still fits
// the chosen version. Nothing when even maxVersion cannot hold the text.
// Arguments out of range raise Invalid procedure call or argument.
std::optional<QrSymbol> EncodeQrText(const QString& text, int32_t level, int32_t minVersion,
                                     int32_t maxVersion, int32_t mask, bool boost);

// Outline edges leaving a vertex, one module long. Vertex (x, y) is the top-left
// corner of module (x, y).
struct VertexEdges {
  bool Left = false;
  bool Up = false;
  bool Right = false;
  bool Down = false;
};

// (n + 1) x (n + 1) vertices, row by row.
struct VertexGrid {
  int32_t side = 0;
  std::vector<VertexEdges> vertices;

  VertexEdges& At(int32_t x, int32_t y) { return vertices[static_cast<size_t>(y) * side + x]; }
  const VertexEdges& At(int32_t x, int32_t y) const { return vertices[static_cast<size_t>(y) * side + x]; }
};

// Marks every unit edge between a dark and a light module once, oriented with
// the dark module on its right (y downwards): dark regions run clockwise,
// light holes in them anticlockwise.
VertexGrid MarkOutlineEdges(const QrSymbol& symbol);

// Traced polygons: points in twips (module corners times the module size, y
// downwards), counts one per polygon in the order traced.
struct OutlineLists {
  std::vector<QrPoint> points;
  std::vector<int32_t> counts;
};

// Appends a point to the polygon that starts at points[first]. When the last
// two points of that polygon and the new one lie on one horizontal or vertical
// line, the last point is dropped first, so polygons keep only corners.
void AppendOutlinePoint(OutlineLists& lists, size_t first, QrPoint point);

// Walks the marked edges into polygons, clearing them: start at the first
// vertex with an edge (rows top to bottom, left to right in a row), follow the
// first edge in the order Right, Down, Left, Up until none is left; the start
// point is repeated at the end. Modules touching only at a corner share one
// polygon. moduleSize in twips; an overflowing point raises Overflow.
OutlineLists TraceOutlines(VertexGrid& grid, int32_t moduleSize);

// The picture of the symbol: a white square of (n + 1) x moduleSize twips, the
// traced polygons moved to (X + h - 1, n * moduleSize + h - Y - 1) with
// h = moduleSize / 2 rounded down (y upwards, the symbol centred with a margin
// of about half a module), filled in colour. moduleSize must be 1 or more.
QrPicture DrawQrPicture(const QrSymbol& symbol, uint32_t colour, int32_t moduleSize);

// The module's entry: EncodeQrText, then DrawQrPicture. Nothing when the text
// does not fit.
std::optional<QrPicture> CreateQrPicture(const QString& text, uint32_t colour, int32_t moduleSize,
                                         int32_t level, int32_t minVersion, int32_t maxVersion,
                                         int32_t mask, bool boost);

}  // namespace zarn
