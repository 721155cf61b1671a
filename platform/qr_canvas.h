#pragma once
// The QR code picture and the off-screen canvas that turns it into a bitmap file.
//
// QrPicture is our stand-in for the vector metafile the QR picture maker
// records: a white square with polygons over it, filled in one colour, without
// outline, by the alternate (odd-even) rule, so a polygon inside another is a
// white hole. Units are twips, origin at the bottom-left corner of the square,
// y growing upwards. The polygons are closed: each repeats its first point last.
//
// QrCanvas is the square canvas the QRC command draws that picture on and saves
// as "qrcode.bmp".
#include <QString>
#include <cstdint>
#include <vector>

namespace zarn {

struct QrPoint {
  int32_t X = 0;
  int32_t Y = 0;
  friend bool operator==(const QrPoint&, const QrPoint&) = default;
};

struct QrPicture {
  int32_t side = 0;        // side of the white square, twips; a whole number of modules
  int32_t moduleSize = 0;  // side of one module, twips (1 or more)
  uint32_t colour = 0;     // fill of the polygons: red + 256 * green + 65536 * blue
  std::vector<QrPoint> points;   // all polygons, one after the other
  std::vector<int32_t> counts;   // number of points of each polygon, in order
};

// The canvas stands for a box of this many twips a side, whatever its pixel
// count: the saved file states the resolution that gives it that size.
inline constexpr int32_t kQrCanvasTwips = 1665;

class QrCanvas {
 public:
  virtual ~QrCanvas() = default;
  // Clears the canvas to a square of `pixels` x `pixels` and draws the picture
  // stretched over all of it, without smoothing: every pixel is either white or
  // the picture's colour.
  virtual void Draw(const QrPicture& picture, int32_t pixels) = 0;
  // Saves what was drawn as a BMP file at `path`, replacing an earlier file
  // only once the new one is complete. Throws ZarnError: Invalid picture when
  // nothing was drawn, Path/File access error when the file cannot be written.
  virtual void SaveBmp(const QString& path) = 0;
};

}  // namespace zarn
