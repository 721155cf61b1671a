#include "platform/segment_run.h"

#include <stdexcept>

namespace zarn {

bool SegmentRun::Joins(const QPen& pen) { return pen.style() == Qt::SolidLine && pen.widthF() >= 1; }

bool SegmentRun::Continue(const QLineF& segment, const QPen& pen) {
  if (!open_ || pen != pen_) return false;
  const QPointF step = segment.p1() - last_.p1();
  if (segment.p2() - last_.p2() != step) return false;
  // Across the segment: a vertical one moves right, a horizontal one down.
  const bool right = step == QPointF(1, 0) && segment.x1() == segment.x2();
  const bool down = step == QPointF(0, 1) && segment.y1() == segment.y2();
  if (!right && !down) return false;
  // Dots are both kinds at once: they keep the direction the run took first.
  if (last_ != first_ && step != step_) return false;
  step_ = step;
  last_ = segment;
  return true;
}

void SegmentRun::Start(const QLineF& segment, const QPen& pen) {
  if (open_) throw std::logic_error("SegmentRun::Start: the run before was not taken");
  open_ = true;
  pen_ = pen;
  first_ = last_ = segment;
}

std::optional<SegmentRun::Band> SegmentRun::Take() {
  if (!open_) return std::nullopt;
  open_ = false;
  Band band{pen_, std::nullopt, QLineF(first_.p1(), last_.p2())};
  const QRectF rect = QRectF(first_.p1(), last_.p2()).normalized();
  if (rect.width() > 0 && rect.height() > 0) band.rect = rect;
  return band;
}

}  // namespace zarn
