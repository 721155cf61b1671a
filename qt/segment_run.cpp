#include "qt/segment_run.h"

#include <stdexcept>

namespace zarn {

bool SegmentRun::Joins(const QPen& pen) { return pen.style() == Qt::SolidLine && pen.widthF() >= 1; }

bool SegmentRun::Continue(const QLineF& segment, const QPen& pen) {
  if (!open_) return false;
  // Across the segment: a vertical one moves right, a horizontal one down.
  const double dx = segment.x1() - last_.x1(), dy = segment.y1() - last_.y1();
  const bool right = dx == 1 && dy == 0 && segment.x1() == segment.x2();
  const bool down = dx == 0 && dy == 1 && segment.y1() == segment.y2();
  if (!right && !down) return false;
  if (segment.x2() - last_.x2() != dx || segment.y2() - last_.y2() != dy) return false;
  // Dots are both kinds at once: they keep the direction the run took first.
  if (count_ > 1 && right != right_) return false;
  if (pen != pen_) return false;
  right_ = right;
  ++count_;
  last_ = segment;
  return true;
}

void SegmentRun::Start(const QLineF& segment, const QPen& pen) {
  if (open_) throw std::logic_error("SegmentRun::Start: the run before was not taken");
  open_ = true;
  pen_ = pen;
  first_ = last_ = segment;
  count_ = 1;
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
