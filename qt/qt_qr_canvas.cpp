#include "qt/qt_qr_canvas.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <QSaveFile>

#include "errortrap/error.h"

namespace zarn {

void QtQrCanvas::Draw(const QrPicture& picture, int32_t pixels) {
  if (pixels < 1 || picture.side < 1) Raise(RuntimeError::InvalidArgument);
  image_ = QImage(pixels, pixels, QImage::Format_RGB32);
  image_.fill(Qt::white);
  // Pictures placed at their own size keep the box's size on paper.
  const int dotsPerMeter = qRound(pixels * 1440.0 / kQrCanvasTwips / 0.0254);
  image_.setDotsPerMeterX(dotsPerMeter);
  image_.setDotsPerMeterY(dotsPerMeter);

  // Picture twips (y up) to canvas pixels (y down), the whole square over the
  // whole canvas.
  const double scale = static_cast<double>(pixels) / picture.side;
  QPainterPath path;
  path.setFillRule(Qt::OddEvenFill);
  size_t next = 0;
  for (const int32_t count : picture.counts) {
    if (count < 0 || next + static_cast<size_t>(count) > picture.points.size())
      Raise(RuntimeError::SubscriptOutOfRange);
    QPolygonF polygon;
    polygon.reserve(count);
    for (int32_t i = 0; i < count; ++i) {
      const QrPoint& p = picture.points[next + i];
      polygon << QPointF(p.X * scale, (static_cast<double>(picture.side) - p.Y) * scale);
    }
    path.addPolygon(polygon);
    path.closeSubpath();
    next += count;
  }

  QPainter painter(&image_);
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(Qt::NoPen);
  const uint32_t c = picture.colour;
  painter.setBrush(QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF));
  painter.drawPath(path);
}

void QtQrCanvas::SaveBmp(const QString& path) {
  // QSaveFile writes beside the target and renames on commit, so a reader of
  // the old file never sees a half-written one.
  if (image_.isNull()) Raise(RuntimeError::InvalidPicture);
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !image_.save(&file, "BMP") || !file.commit())
    Raise(RuntimeError::PathFileAccess);
}

}  // namespace zarn
