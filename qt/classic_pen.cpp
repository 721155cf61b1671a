#include "qt/classic_pen.h"

#include <QList>
#include <array>

namespace zarn {

namespace {

// Dash patterns of DrawStyle 1 to 4, in twips: dash, dot, dash-dot, dash-dot-dot.
const std::array<QList<qreal>, 4> kDashes{
    QList<qreal>{180, 60}, QList<qreal>{30, 30}, QList<qreal>{120, 45, 30, 45},
    QList<qreal>{120, 30, 30, 30, 30, 30}};

// FillStyle 2 to 7: horizontal, vertical, upward and downward diagonal, cross, diagonal cross.
constexpr std::array kHatches{Qt::HorPattern, Qt::VerPattern, Qt::BDiagPattern, Qt::FDiagPattern,
                              Qt::CrossPattern, Qt::DiagCrossPattern};

}  // namespace

QColor ColourOf(uint32_t c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }

const QPen& LinePens::Make(uint32_t colour, int16_t drawWidth, int16_t drawStyle, double twipsPerDot) {
  QPen pen(Qt::NoPen);
  if (drawStyle != kInvisible) {
    const double w = PenWidth(drawWidth, twipsPerDot);
    pen = QPen(ColourOf(colour), w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    if (drawStyle >= 1 && drawStyle <= 4 && drawWidth <= 1) {
      QList<qreal> pattern = kDashes[drawStyle - 1];
      for (qreal& v : pattern) v /= w;  // Qt counts dashes in pen widths
      pen.setDashPattern(pattern);
      pen.setCapStyle(Qt::FlatCap);
    }
  }
  last_ = LinePen{colour, drawWidth, drawStyle, pen};
  return last_->pen;
}

QBrush FillBrush(int16_t fillStyle, uint32_t fillColor) {
  if (fillStyle == kFillSolid) return QBrush(ColourOf(fillColor));
  if (fillStyle >= 2 && fillStyle <= 7) return QBrush(ColourOf(fillColor), kHatches[fillStyle - 2]);
  return QBrush(Qt::NoBrush);
}

}  // namespace zarn
