#pragma once
// Gradient bands reach the print surface as one segment per twip, though
// their colour changes only every few dozen twips. A run of segments drawn
// with one pen, each the one before moved one twip across itself, covers the
// same ground as the rectangle between the first and the last segment outlined
// with that pen and filled in its colour: the outline's round joins round the
// corners as the segments' round caps do. The surface gathers such runs here
// and draws each as that one rectangle, a few dozen bytes in a PDF or a spool
// file where the segments took a line each.
//
// Units: twips, as the surface's lines. Only solid pens at least one twip
// wide join runs: thinner segments leave gaps between them, and dashes would
// lose their pattern. A run is one page's, and it must be drawn before
// anything drawn after its segments.
#include <QLineF>
#include <QPen>
#include <QRectF>
#include <optional>

namespace zarn {

class SegmentRun {
 public:
  // What a run draws: the rectangle, or, when the run has no width or
  // height (one segment; dots side by side), the line from its first
  // segment's start to its last one's end, which covers the same ground.
  struct Band {
    QPen pen;
    std::optional<QRectF> rect;
    QLineF line;
  };

  // Whether segments drawn with this pen may form runs.
  static bool Joins(const QPen& pen);

  // Adds the segment when it continues the run: the same pen, and the last
  // segment moved one twip to the right (a vertical segment) or down (a
  // horizontal one), as the segments before it moved.
  bool Continue(const QLineF& segment, const QPen& pen);
  // Starts a run with this segment; the run before must have been taken.
  void Start(const QLineF& segment, const QPen& pen);
  // The run's band, if there is a run; the run is then empty.
  std::optional<Band> Take();

 private:
  bool open_ = false;
  QPen pen_;
  QLineF first_, last_;
  int count_ = 0;       // segments in the run
  bool right_ = false;  // the run moves right, not down (once it has two segments)
};

}  // namespace zarn
