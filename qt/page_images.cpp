#include "qt/page_images.h"

#include <QBuffer>
#include <cmath>

namespace zarn {

namespace {
constexpr double kTwipsPerInch = 1440;
// Pages are painted at this many times the preview's resolution and then
// scaled down, so each dot shows how much of it is covered, as a PDF viewer
// shows it: bands side by side (gradients) without seams, hairlines faint.
constexpr int kOversample = 4;
constexpr double kInchesPerMetre = 1 / 0.0254;

void SetDpi(QImage& image, int dpi) {
  const int perMetre = static_cast<int>(std::lround(dpi * kInchesPerMetre));
  image.setDotsPerMeterX(perMetre);
  image.setDotsPerMeterY(perMetre);
}
}  // namespace

bool PageImages::Start(QPainter& painter, QSizeF twips) {
  const double scale = dpi_ / kTwipsPerInch;
  twips_ = twips;
  size_ = QSize(std::max(1, qRound(twips.width() * scale)), std::max(1, qRound(twips.height() * scale)));
  page_ = QImage(size_ * kOversample, QImage::Format_RGB32);
  if (page_.isNull()) return false;
  page_.fill(Qt::white);
  SetDpi(page_, fontDpi_);
  if (!painter.begin(&page_)) return false;
  painter.setWorldTransform(QTransform::fromScale(scale * kOversample, scale * kOversample));
  return true;
}

bool PageImages::Begin(QPainter& painter, QSizeF twips) {
  if (!Start(painter, twips)) return false;
  painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing | QPainter::SmoothPixmapTransform);
  return true;
}

bool PageImages::Next(QPainter& painter, QSizeF twips) {
  const QPen pen = painter.pen();
  const QBrush brush = painter.brush();
  const QFont font = painter.font();
  const QPainter::RenderHints hints = painter.renderHints();
  const QSizeF size = twips.isEmpty() ? twips_ : twips;
  if (!painter.end()) return false;
  Keep();
  if (!Start(painter, size)) return false;
  painter.setPen(pen);
  painter.setBrush(brush);
  painter.setFont(font);
  painter.setRenderHints(hints);
  return true;
}

void PageImages::Keep() {
  page_ = page_.scaled(size_, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
  SetDpi(page_, dpi_);
  QBuffer png;
  png.open(QIODevice::WriteOnly);
  page_.save(&png, "PNG");
  done_ << png.data();
  page_ = QImage();
}

QList<QByteArray> PageImages::Take() {
  if (!page_.isNull()) Keep();
  QList<QByteArray> pages;
  pages.swap(done_);
  return pages;
}

}  // namespace zarn
