#pragma once
// The classic printer object's pen and brush rules, in twips: DrawWidth is in
// device dots (values below 1 draw one dot wide); DrawStyle 1 to 4 dash and
// dot only lines one dot wide, wider ones draw solid; style 5 draws nothing
// and style 6 keeps the line of boxes and circles inside their outline;
// FillStyle 0 fills solid, 1 leaves the inside transparent, 2 to 7 hatch it.
// Colours are red + 256 * green + 65536 * blue.
#include <QBrush>
#include <QColor>
#include <QPen>
#include <algorithm>
#include <cstdint>
#include <optional>

namespace zarn {

inline constexpr int16_t kSolid = 0, kInvisible = 5, kInsideSolid = 6;  // DrawStyle
inline constexpr int16_t kFillSolid = 0, kFillTransparent = 1;           // FillStyle

QColor ColourOf(uint32_t c);

// Width of the line pen, twips.
inline double PenWidth(int16_t drawWidth, double twipsPerDot) { return std::max<int16_t>(1, drawWidth) * twipsPerDot; }

// The fill of boxes and circles.
QBrush FillBrush(int16_t fillStyle, uint32_t fillColor);

// Half the line inside the outline for style 6, as the classic inside frame.
inline double Inset(int16_t drawStyle, double penWidth) { return drawStyle == kInsideSolid ? penWidth / 2 : 0; }

// The line pen in a colour; the last one is kept, as a gradient asks for it
// once per segment and changes colour only now and then. A reference holds
// until the next Make.
class LinePens {
 public:
  // The kept pen, when it was made for these values.
  const QPen* Find(uint32_t colour, int16_t drawWidth, int16_t drawStyle) const {
    if (last_ && last_->colour == colour && last_->width == drawWidth && last_->style == drawStyle) return &last_->pen;
    return nullptr;
  }
  const QPen& Make(uint32_t colour, int16_t drawWidth, int16_t drawStyle, double twipsPerDot);

 private:
  struct LinePen {
    uint32_t colour;
    int16_t width, style;
    QPen pen;
  };
  std::optional<LinePen> last_;
};

}  // namespace zarn
